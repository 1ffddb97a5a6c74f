# The layers of the source tree and the include graph among their files; the
# suite reads the sources, so it is told where they are.
quillo_add_test(NAME TestIncludeRules SOURCES layers/testincluderules.cpp)
target_compile_definitions(TestIncludeRules PRIVATE QUILLO_SOURCE_DIR="${CMAKE_SOURCE_DIR}")

# Program entry: the single-instance guard across processes and the command line.
add_executable(quillo_guard_helper app/guardhelper.cpp)
target_link_libraries(quillo_guard_helper PRIVATE quillo_guard)

quillo_add_test(NAME TestRunGuard SOURCES app/testrunguard.cpp LIBS quillo_guard XVFB TIMEOUT 180)
add_dependencies(TestRunGuard quillo quillo_guard_helper)
target_compile_definitions(TestRunGuard PRIVATE GUARD_HELPER="$<TARGET_FILE:quillo_guard_helper>"
  QUILLO_PROGRAM="$<TARGET_FILE:quillo>")

quillo_add_test(NAME TestCommandLine SOURCES app/testcommandline.cpp LIBS quillo_cli Qt5::Core TIMEOUT 120)
add_dependencies(TestCommandLine quillo quillo_guard_helper)
target_compile_definitions(TestCommandLine PRIVATE QUILLO_PROGRAM="$<TARGET_FILE:quillo>"
  GUARD_HELPER="$<TARGET_FILE:quillo_guard_helper>" QUILLO_VERSION_TEXT="${PROJECT_VERSION}")

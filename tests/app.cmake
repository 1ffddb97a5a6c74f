# Program entry: the single-instance guard across processes, the settings
# store, and the main window's start-up.
add_executable(quillo_guard_helper guardhelper.cpp)
target_link_libraries(quillo_guard_helper PRIVATE quillo_guard)

quillo_add_test(NAME TestRunGuard SOURCES testrunguard.cpp LIBS quillo_guard XVFB TIMEOUT 180)
add_dependencies(TestRunGuard quillo quillo_guard_helper)
target_compile_definitions(TestRunGuard PRIVATE GUARD_HELPER="$<TARGET_FILE:quillo_guard_helper>"
  QUILLO_PROGRAM="$<TARGET_FILE:quillo>")

quillo_add_test(NAME TestSettingsStore SOURCES testsettingsstore.cpp LIBS quillo_core)
quillo_add_test(NAME TestMainWindowCore SOURCES testmainwindowcore.cpp modalanswerer.h LIBS quillo_ui TIMEOUT 120)

quillo_add_test(NAME TestCommandLine SOURCES testcommandline.cpp LIBS quillo_cli Qt5::Core TIMEOUT 120)
add_dependencies(TestCommandLine quillo quillo_guard_helper)
target_compile_definitions(TestCommandLine PRIVATE QUILLO_PROGRAM="$<TARGET_FILE:quillo>"
  GUARD_HELPER="$<TARGET_FILE:quillo_guard_helper>" QUILLO_VERSION_TEXT="${PROJECT_VERSION}")

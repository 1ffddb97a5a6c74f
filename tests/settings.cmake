# Settings window and how its choices reach the camera and the next scan.
quillo_add_test(NAME TestSettingsValues SOURCES testsettingsvalues.cpp LIBS quillo_core)
quillo_add_test(NAME TestSetWindow SOURCES testsetwindow.cpp LIBS quillo_ui)
quillo_add_test(NAME TestSettingsApply SOURCES testsettingsapply.cpp LIBS quillo_ui)
# Start-up and the settings file as a user meets them.
quillo_add_test(NAME TestStartupSettings SOURCES teststartupsettings.cpp modalanswerer.h LIBS quillo_ui TIMEOUT 120)

# The settings store and the settings window.
quillo_add_test(NAME TestSettingsStore SOURCES settings/testsettingsstore.cpp LIBS quillo_core)
quillo_add_test(NAME TestSetWindow SOURCES settings/testsetwindow.cpp LIBS quillo_ui)

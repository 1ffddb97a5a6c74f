# Main window face: title bar, layout and controls, stored-files list.
quillo_add_test(NAME TestTitleRoll SOURCES testtitleroll.cpp LIBS quillo_core)
quillo_add_test(NAME TestTitleBar SOURCES testtitlebar.cpp LIBS quillo_ui)
quillo_add_test(NAME TestMainWindowLayout SOURCES testmainwindowlayout.cpp LIBS quillo_ui)
quillo_add_test(NAME TestImageList SOURCES testimagelist.cpp LIBS quillo_ui)
quillo_add_test(NAME TestWindowFrame SOURCES testwindowframe.cpp LIBS quillo_ui XVFB TIMEOUT 120)

# Thumbnail tiles, the edit commands and the merge into one PDF.
quillo_add_test(NAME TestTileGeometry SOURCES testtilegeometry.cpp LIBS quillo_ui)
quillo_add_test(NAME TestPicItemDelegate SOURCES testpicitemdelegate.cpp LIBS quillo_ui)
quillo_add_test(NAME TestEditCommands SOURCES testeditcommands.cpp mainwindowfixture.h LIBS quillo_ui)
quillo_add_test(NAME TestMerge SOURCES testmerge.cpp mainwindowfixture.h
  LIBS quillo_ui quillo_pdfcheck)

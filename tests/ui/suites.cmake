# Main window face: title bar, layout and controls, stored-files list.
quillo_add_test(NAME TestMainWindowCore SOURCES ui/testmainwindowcore.cpp shared/modalanswerer.h LIBS quillo_ui
  TIMEOUT 120)
quillo_add_test(NAME TestTitleBar SOURCES ui/testtitlebar.cpp LIBS quillo_ui)
quillo_add_test(NAME TestMainWindowLayout SOURCES ui/testmainwindowlayout.cpp LIBS quillo_ui)
quillo_add_test(NAME TestImageList SOURCES ui/testimagelist.cpp LIBS quillo_ui)
quillo_add_test(NAME TestWindowFrame SOURCES ui/testwindowframe.cpp LIBS quillo_ui XVFB TIMEOUT 120)
# The window's shared frame, repaint requests and painted picture.
quillo_add_test(NAME TestPreview SOURCES ui/testpreview.cpp shared/modalanswerer.h LIBS quillo_ui TIMEOUT 120)
quillo_add_test(NAME TestHandsFree SOURCES ui/testhandsfree.cpp shared/mainwindowfixture.h LIBS quillo_ui TIMEOUT 180)
# Scans from the window, and the saving path under injected faults: writer, merge, save outcome, window.
quillo_add_test(NAME TestScan SOURCES ui/testscan.cpp shared/modalanswerer.h LIBS quillo_ui TIMEOUT 180)
quillo_add_test(NAME TestSavingFaults SOURCES ui/testsavingfaults.cpp shared/failingfileops.h shared/filesizelimit.h shared/modalanswerer.h
  LIBS quillo_ui quillo_pdfcheck TIMEOUT 180)
# PDF pages that carry the scans' JPEGs, read back with poppler's tools.
quillo_add_test(NAME TestPdfPages SOURCES ui/testpdfpages.cpp shared/mainwindowfixture.h shared/failingfileops.h
  LIBS quillo_ui quillo_pdfcheck PkgConfig::TURBOJPEG)
# Thumbnail tiles, the edit commands and the merge into one PDF.
quillo_add_test(NAME TestTileGeometry SOURCES ui/testtilegeometry.cpp LIBS quillo_ui)
quillo_add_test(NAME TestPicItemDelegate SOURCES ui/testpicitemdelegate.cpp LIBS quillo_ui)
quillo_add_test(NAME TestEditCommands SOURCES ui/testeditcommands.cpp shared/mainwindowfixture.h LIBS quillo_ui)
quillo_add_test(NAME TestMerge SOURCES ui/testmerge.cpp shared/mainwindowfixture.h LIBS quillo_ui quillo_pdfcheck)
# How the settings window's choices reach the camera and the next scan; start-up and the
# settings file as a user meets them.
quillo_add_test(NAME TestSettingsApply SOURCES ui/testsettingsapply.cpp LIBS quillo_ui)
quillo_add_test(NAME TestStartupSettings SOURCES ui/teststartupsettings.cpp shared/modalanswerer.h LIBS quillo_ui
  TIMEOUT 120)
# A whole working session on a real X server: scans, settings, merge, delete
# and close, with the files on disk read back by independent readers.
quillo_add_test(NAME TestSession SOURCES ui/testsession.cpp shared/sessionfiles.h
  LIBS quillo_ui quillo_pdfcheck XVFB TIMEOUT 240)

# A whole working session on a real X server: scans, settings, merge, delete
# and close, with the files on disk read back by independent readers.
quillo_add_test(NAME TestSession SOURCES testsession.cpp sessionfiles.h
  LIBS quillo_ui quillo_pdfcheck XVFB TIMEOUT 240)
# Screenshot and pixel probe for scripts/e2e.sh (not a test itself).
add_executable(sessiongrab sessiongrab.cpp)
target_link_libraries(sessiongrab PRIVATE Qt5::Gui)
# Page pictures, their identification and read-back accuracy for scripts/e2e-handsfree.sh
# and scripts/e2e-ocr.sh (not a test itself).
add_executable(pagepictures pagepictures.cpp ../bench/textpage.h)
target_include_directories(pagepictures PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(pagepictures PRIVATE Qt5::Gui)
# The capture session without a window: scans, saves, pages and the merge.
quillo_add_test(NAME TestCaptureSession SOURCES testcapturesession.cpp failingfileops.h LIBS quillo_core)

# The capture session without a window: scans, saves, pages and the merge.
quillo_add_test(NAME TestCaptureSession SOURCES core/testcapturesession.cpp shared/failingfileops.h LIBS quillo_core)
quillo_add_test(NAME TestScanPlan SOURCES core/testscanplan.cpp LIBS quillo_core)
quillo_add_test(NAME TestSettingsValues SOURCES core/testsettingsvalues.cpp LIBS quillo_core)
# Live preview arithmetic and frame copy, the scrolling title.
quillo_add_test(NAME TestPreviewLogic SOURCES core/testpreviewlogic.cpp LIBS quillo_core)
quillo_add_test(NAME TestTitleRoll SOURCES core/testtitleroll.cpp LIBS quillo_core)
# Hands-free scanning: the watcher that decides when a new page lies still.
quillo_add_test(NAME TestAutoCapture SOURCES core/testautocapture.cpp shared/turnscene.h LIBS quillo_core Qt5::Gui
  TIMEOUT 300)
# Book mode's capture through the library's boundary, the save worker and the session's rows.
quillo_add_test(NAME TestBookCapture SOURCES core/testbookcapture.cpp shared/bookpages.h shared/bookscene.h
  shared/pagescene.h LIBS quillo_core ${OpenCV_LIBS} TIMEOUT 180)
target_include_directories(TestBookCapture PRIVATE ${OpenCV_INCLUDE_DIRS})
# Text recognition on generated pages of known text (Tesseract, in process), and the
# stored pages whose PDFs get their text after the scan.
quillo_add_test(NAME TestTextRecognizer SOURCES core/testtextrecognizer.cpp ../bench/textpage.h ../bench/sampletext.h
  LIBS quillo_core Qt5::Gui)
quillo_add_test(NAME TestTextLineScale SOURCES core/testtextlinescale.cpp ../bench/textpage.h LIBS quillo_core Qt5::Gui)
quillo_add_test(NAME TestGreyShrink SOURCES core/testgreyshrink.cpp LIBS quillo_core Qt5::Gui)
quillo_add_test(NAME TestPageRecognition SOURCES core/testpagerecognition.cpp ../bench/textpage.h
  LIBS quillo_core quillo_pdfcheck)
# The read-back measure the bench and scripts/e2e-ocr.sh use.
quillo_add_test(NAME TestTextAccuracy SOURCES core/testtextaccuracy.cpp ../bench/textpage.h LIBS Qt5::Gui)

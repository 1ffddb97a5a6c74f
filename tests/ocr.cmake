# Text recognition on generated pages of known text (Tesseract, in process), and the
# stored pages whose PDFs get their text after the scan.
quillo_add_test(NAME TestTextRecognizer SOURCES testtextrecognizer.cpp ../bench/textpage.h ../bench/sampletext.h
  LIBS quillo_core Qt5::Gui)
quillo_add_test(NAME TestTextLineScale SOURCES testtextlinescale.cpp ../bench/textpage.h LIBS quillo_core Qt5::Gui)
quillo_add_test(NAME TestGreyShrink SOURCES testgreyshrink.cpp LIBS quillo_core Qt5::Gui)
quillo_add_test(NAME TestPageRecognition SOURCES testpagerecognition.cpp ../bench/textpage.h LIBS quillo_core quillo_pdfcheck)
# The read-back measure the bench and scripts/e2e-ocr.sh use.
quillo_add_test(NAME TestTextAccuracy SOURCES testtextaccuracy.cpp ../bench/textpage.h LIBS Qt5::Gui)

# Text recognition on generated pages of known text (Tesseract, in process).
quillo_add_test(NAME TestTextRecognizer SOURCES testtextrecognizer.cpp ../bench/textpage.h ../bench/sampletext.h
  LIBS quillo_core Qt5::Gui TIMEOUT 120)
quillo_add_test(NAME TestTextLineScale SOURCES testtextlinescale.cpp ../bench/textpage.h LIBS quillo_core Qt5::Gui)
quillo_add_test(NAME TestGreyShrink SOURCES testgreyshrink.cpp LIBS quillo_core Qt5::Gui)
# The read-back measure the bench and scripts/e2e-ocr.sh use.
quillo_add_test(NAME TestTextAccuracy SOURCES testtextaccuracy.cpp ../bench/textpage.h LIBS Qt5::Gui)

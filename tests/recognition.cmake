# The text of stored pages, read after the scan and laid into their PDFs.
quillo_add_test(NAME TestPageRecognition SOURCES testpagerecognition.cpp LIBS quillo_core quillo_pdfcheck)

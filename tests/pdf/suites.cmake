# The PDF writer, and the invisible text over PDF pages, read back with poppler's tools and qpdf.
quillo_add_test(NAME TestPdfWriter SOURCES pdf/testpdfwriter.cpp LIBS quillo_core quillo_pdfcheck)
quillo_add_test(NAME TestTextLayer SOURCES pdf/testtextlayer.cpp LIBS quillo_core)

# PDF pages that carry the scans' JPEGs, read back with poppler's tools.
quillo_add_test(NAME TestPdfPages SOURCES testpdfpages.cpp mainwindowfixture.h failingfileops.h
  LIBS quillo_ui quillo_pdfcheck PkgConfig::TURBOJPEG)
# The invisible text over PDF pages, read back with poppler's tools and qpdf.
quillo_add_test(NAME TestTextLayer SOURCES testtextlayer.cpp LIBS quillo_core)

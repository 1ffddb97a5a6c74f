# PDF pages that carry the scans' JPEGs, read back with poppler's tools.
quillo_add_test(NAME TestPdfPages SOURCES testpdfpages.cpp mainwindowfixture.h failingfileops.h
  LIBS quillo_ui quillo_pdfcheck PkgConfig::TURBOJPEG)

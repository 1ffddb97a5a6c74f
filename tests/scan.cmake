# PDF writer, scan command and save worker.
if(TARGET quillo_pdfcheck)
  quillo_add_test(NAME TestPdfWriter SOURCES testpdfwriter.cpp LIBS quillo_core quillo_pdfcheck)
endif()

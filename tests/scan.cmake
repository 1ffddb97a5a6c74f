# PDF writer, scan command and save worker.
quillo_add_test(NAME TestScanPlan SOURCES testscanplan.cpp LIBS quillo_core)
quillo_add_test(NAME TestPdfWriter SOURCES testpdfwriter.cpp LIBS quillo_core quillo_pdfcheck)
quillo_add_test(NAME TestSaveWorker SOURCES testsaveworker.cpp LIBS quillo_core quillo_pdfcheck)
quillo_add_test(NAME TestScan SOURCES testscan.cpp modalanswerer.h LIBS quillo_ui TIMEOUT 180)
# The saving path under injected faults: writer, merge, save outcome, window.
quillo_add_test(NAME TestSavingFaults SOURCES testsavingfaults.cpp failingfileops.h modalanswerer.h
  LIBS quillo_ui quillo_pdfcheck TIMEOUT 180)

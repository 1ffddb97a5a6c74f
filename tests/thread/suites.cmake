# The background save worker.
quillo_add_test(NAME TestSaveWorker SOURCES thread/testsaveworker.cpp LIBS quillo_core quillo_pdfcheck)

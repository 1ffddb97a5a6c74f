# Stamped names that never replace a file; temporaries a killed save left.
quillo_add_test(NAME TestFileNames SOURCES fileio/testfilenames.cpp LIBS quillo_fileio Qt5::Core)

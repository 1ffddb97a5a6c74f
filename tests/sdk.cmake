# The camera library: public boundary, capture files, codec, rotation, simulated cameras.
quillo_add_test(NAME TestCameraApi SOURCES testcameraapi.cpp LIBS orvix Qt5::Core TIMEOUT 120)
quillo_add_test(NAME TestCaptureFile SOURCES testcapturefile.cpp LIBS orvix Qt5::Gui TIMEOUT 120)
quillo_add_test(NAME TestJpegCodec SOURCES testjpegcodec.cpp LIBS orvix_internal Qt5::Gui TIMEOUT 120)
quillo_add_test(NAME TestRotateFrame SOURCES testrotateframe.cpp LIBS orvix_internal Qt5::Gui)
quillo_add_test(NAME TestSimulatedCamera SOURCES testsimulatedcamera.cpp LIBS orvix_internal Qt5::Gui TIMEOUT 120)
quillo_add_test(NAME TestLibraryExports SOURCES testlibraryexports.cpp LIBS Qt5::Core)
add_dependencies(TestLibraryExports orvix)
quillo_add_test(NAME TestExifBlock SOURCES testexifblock.cpp LIBS orvix_internal Qt5::Gui)
# Stamped names that never replace a file; temporaries a killed save left.
quillo_add_test(NAME TestFileNames SOURCES testfilenames.cpp LIBS quillo_fileio Qt5::Core)

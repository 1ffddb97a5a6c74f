# The camera library: public boundary, capture files, codec, rotation, simulated cameras.
quillo_add_test(NAME TestCameraApi SOURCES sdk/testcameraapi.cpp LIBS orvix Qt5::Core TIMEOUT 120)
quillo_add_test(NAME TestCaptureFile SOURCES sdk/testcapturefile.cpp LIBS orvix Qt5::Gui TIMEOUT 120)
quillo_add_test(NAME TestJpegCodec SOURCES sdk/testjpegcodec.cpp LIBS orvix_internal Qt5::Gui TIMEOUT 120)
quillo_add_test(NAME TestRotateFrame SOURCES sdk/testrotateframe.cpp LIBS orvix_internal Qt5::Gui)
quillo_add_test(NAME TestSimulatedCamera SOURCES sdk/testsimulatedcamera.cpp LIBS orvix_internal Qt5::Gui TIMEOUT 120)
quillo_add_test(NAME TestLibraryExports SOURCES sdk/testlibraryexports.cpp LIBS Qt5::Core)
add_dependencies(TestLibraryExports orvix)
quillo_add_test(NAME TestExifBlock SOURCES sdk/testexifblock.cpp LIBS orvix_internal Qt5::Gui)
quillo_add_test(NAME TestRecordLayout SOURCES sdk/testrecordlayout.cpp LIBS orvix Qt5::Core)

# The V4L2 backend against scripted cameras (no kernel device involved).
set(QUILLO_FAKE_V4L2 shared/fakev4l2io.cpp shared/fakev4l2io.h shared/fakesysfs.cpp shared/fakesysfs.h)
quillo_add_test(NAME TestV4l2Probe SOURCES sdk/testv4l2probe.cpp ${QUILLO_FAKE_V4L2} LIBS orvix_internal Qt5::Core
  TIMEOUT 60)
quillo_add_test(NAME TestYuyv SOURCES sdk/testyuyv.cpp LIBS orvix_internal Qt5::Core TIMEOUT 60)
quillo_add_test(NAME TestV4l2Device SOURCES sdk/testv4l2device.cpp ${QUILLO_FAKE_V4L2} LIBS orvix_internal Qt5::Gui
  TIMEOUT 120)

# Page processing: cropping, optimisation, watermark, book spreads.
foreach(suite PageDetector PreviewOutliner DocOptimiser Watermark ProcessCapture)
  string(TOLOWER ${suite} source)
  quillo_add_test(NAME Test${suite} SOURCES sdk/test${source}.cpp shared/pagescene.h shared/referenceprocessing.h
    LIBS orvix_internal Qt5::Core)
  target_include_directories(Test${suite} PRIVATE ${OpenCV_INCLUDE_DIRS})
endforeach()
quillo_add_test(NAME TestBookSplit SOURCES sdk/testbooksplit.cpp shared/bookpages.h shared/bookscene.h shared/pagescene.h
  LIBS orvix_internal Qt5::Core TIMEOUT 120)
target_include_directories(TestBookSplit PRIVATE ${OpenCV_INCLUDE_DIRS})

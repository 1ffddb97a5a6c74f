# Page processing in the camera library: cropping, optimisation, watermark.
foreach(suite PageDetector PreviewOutliner DocOptimiser Watermark ProcessCapture)
  string(TOLOWER ${suite} source)
  quillo_add_test(NAME Test${suite} SOURCES test${source}.cpp pagescene.h referenceprocessing.h LIBS orvix_internal Qt5::Core)
  target_include_directories(Test${suite} PRIVATE ${OpenCV_INCLUDE_DIRS})
endforeach()

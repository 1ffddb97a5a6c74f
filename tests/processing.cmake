# Page processing in the camera library: cropping, optimisation, watermark.
quillo_add_test(NAME TestPageDetector SOURCES testpagedetector.cpp pagescene.h LIBS orvix_internal Qt5::Core TIMEOUT 120)
target_include_directories(TestPageDetector PRIVATE ${OpenCV_INCLUDE_DIRS})

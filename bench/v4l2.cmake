# Preview frame rate of the V4L2 path and YUYV conversion speed.
quillo_add_bench(BenchV4l2 SOURCES benchv4l2.cpp ${CMAKE_SOURCE_DIR}/tests/shared/fakev4l2io.cpp
  LIBS orvix_internal Qt5::Gui)
target_include_directories(BenchV4l2 PRIVATE ${CMAKE_SOURCE_DIR})

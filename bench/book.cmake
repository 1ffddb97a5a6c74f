# Book mode: pages found, flatness, recognition and time on generated open
# books. Flatness is measured with OpenCV's feature matching, which the
# library itself does not need.
find_library(QUILLO_OPENCV_FEATURES2D opencv_features2d)
find_library(QUILLO_OPENCV_CALIB3D opencv_calib3d)
if(QUILLO_OPENCV_FEATURES2D AND QUILLO_OPENCV_CALIB3D)
  quillo_add_bench(benchbook SOURCES benchbook.cpp booktext.cpp
    LIBS orvix_internal Qt5::Gui ${QUILLO_OPENCV_FEATURES2D} ${QUILLO_OPENCV_CALIB3D} ${OpenCV_LIBS})
  target_include_directories(benchbook PRIVATE ${OpenCV_INCLUDE_DIRS})
else()
  message(STATUS "benchbook not built: OpenCV's features2d and calib3d are missing")
endif()

# Book mode: the page step in the camera library, and its capture through
# the library's boundary, the save worker and the session's rows.
quillo_add_test(NAME TestBookSplit SOURCES testbooksplit.cpp bookpages.h bookscene.h pagescene.h
  LIBS orvix_internal Qt5::Core TIMEOUT 120)
target_include_directories(TestBookSplit PRIVATE ${OpenCV_INCLUDE_DIRS})
quillo_add_test(NAME TestBookCapture SOURCES testbookcapture.cpp bookpages.h bookscene.h pagescene.h
  LIBS quillo_core ${OpenCV_LIBS} TIMEOUT 180)
target_include_directories(TestBookCapture PRIVATE ${OpenCV_INCLUDE_DIRS})

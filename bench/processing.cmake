# Page processing time on a full-resolution capture and per preview frame.
quillo_add_bench(benchprocessing SOURCES benchprocessing.cpp LIBS orvix_internal)
target_include_directories(benchprocessing PRIVATE ${OpenCV_INCLUDE_DIRS})

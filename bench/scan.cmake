quillo_add_bench(BenchScan SOURCES benchscan.cpp LIBS quillo_ui)

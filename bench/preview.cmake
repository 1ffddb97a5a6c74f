quillo_add_bench(BenchPreview SOURCES benchpreview.cpp LIBS quillo_core Qt5::Gui)

# Text recognition on generated camera pages, side by side with the tesseract
# command: character accuracy, seconds per page, peak memory.
quillo_add_bench(benchocr SOURCES benchocr.cpp textpage.h sampletext.h LIBS quillo_core Qt5::Gui)

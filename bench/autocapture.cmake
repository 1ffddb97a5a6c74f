# Automatic capture over generated page-turning sequences: pages scanned,
# duplicates, scans mid-turn, delay after the hand leaves, cost per frame.
quillo_add_bench(BenchAutoCapture SOURCES benchautocapture.cpp LIBS quillo_core Qt5::Gui)

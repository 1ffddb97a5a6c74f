# A merge of ten 8-megapixel scans with raw pages and with JPEG pages, side by
# side with img2pdf on the same files: time, file size and peak memory.
quillo_add_bench(bench_pdfpages SOURCES benchpdfpages.cpp scannedpage.h LIBS quillo_core)

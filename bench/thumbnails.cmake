# Tile painting cost against the full-decode baseline, a scrolled list of 50
# tiles, and merging ten pages (img2pdf as the reference figure).
quillo_add_bench(bench_thumbnails SOURCES benchthumbnails.cpp LIBS quillo_ui)

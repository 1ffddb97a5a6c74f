# Camera library: JPEG decoding with and without size hints, encoding, rotation, simulated frames.
quillo_add_bench(BenchCameraLibrary SOURCES benchsdk.cpp LIBS orvix_internal)

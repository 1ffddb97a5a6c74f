# The V4L2 backend against scripted cameras (no kernel device involved).
quillo_add_test(NAME TestV4l2Probe SOURCES testv4l2probe.cpp fakev4l2io.cpp fakev4l2io.h fakesysfs.cpp fakesysfs.h
  LIBS orvix_internal Qt5::Core TIMEOUT 60)
quillo_add_test(NAME TestYuyv SOURCES testyuyv.cpp LIBS orvix_internal Qt5::Core TIMEOUT 60)
quillo_add_test(NAME TestV4l2Device SOURCES testv4l2device.cpp fakev4l2io.cpp fakev4l2io.h fakesysfs.cpp fakesysfs.h
  LIBS orvix_internal Qt5::Gui TIMEOUT 120)

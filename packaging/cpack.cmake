# Debian packages: `cpack -G DEB` in a build configured with
# -DCMAKE_INSTALL_PREFIX=/usr. The architecture is the build's own (amd64 on
# a PC, arm64 from the cross build). Library dependencies come from
# dpkg-shlibdeps; the rest are what the program loads at run time.
set(CPACK_PACKAGE_NAME "quillo")
set(CPACK_PACKAGE_VENDOR "Quillo developers")
set(CPACK_PACKAGE_CONTACT "Quillo developers <dev@quillo.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Capture application for USB document cameras")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR "DEB")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "graphics")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
# The SVG image plugin draws the PDF placeholder; the CJK font renders the
# Chinese texts and the watermark.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt5svg5, fonts-wqy-microhei")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Watch, rotate and crop the live picture of an overhead document camera,\n scan pages to JPG or PDF files and merge them into one PDF.")
if(CMAKE_CROSSCOMPILING AND CMAKE_SYSTEM_PROCESSOR MATCHES "aarch64|arm64")
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
  # dpkg-shlibdeps reads the build machine's package database, which has no
  # arm64 libraries; name what it finds for the amd64 build of Debian 12.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
  string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS
    ", libc6 (>= 2.35), libfreetype6 (>= 2.2.1), libgcc-s1 (>= 3.0), libhpdf-2.3.0 (>= 2.3.0)"
    ", libopencv-core406 (>= 4.6.0+dfsg), libopencv-imgcodecs406 (>= 4.6.0+dfsg)"
    ", libopencv-imgproc406 (>= 4.6.0+dfsg), libqt5core5a (>= 5.15.1)"
    ", libqt5gui5 (>= 5.14.1) | libqt5gui5-gles (>= 5.14.1), libqt5widgets5 (>= 5.2.0)"
    ", libstdc++6 (>= 11), libturbojpeg0 (>= 1:2.0.2)")
endif()
include(CPack)

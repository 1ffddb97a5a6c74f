# Debian packages: `cpack -G DEB` in a build configured with
# -DCMAKE_INSTALL_PREFIX=/usr. Two packages, as Debian lays out shared
# libraries: liborvix1 (libOrvix.so.1, its shlibs and symbols, an ldconfig
# trigger) and quillo (the program, its data and manual page), each with a
# -dbgsym package that keeps the debugging information the binaries are
# stripped of. The architecture is the build's own (amd64 on a PC, arm64 from
# the cross build). Library dependencies come from dpkg-shlibdeps.
set(CPACK_PACKAGE_NAME "quillo")
set(CPACK_PACKAGE_VENDOR "Quillo developers")
set(CPACK_PACKAGE_CONTACT "Quillo developers <dev@quillo.example>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR "DEB")
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL lib app)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
set(CPACK_POST_BUILD_SCRIPTS "${CMAKE_SOURCE_DIR}/packaging/dbgsym.cmake")
# The cross build's binaries need the cross binutils to be split.
set(CPACK_OBJCOPY_EXECUTABLE "${CMAKE_OBJCOPY}")
set(CPACK_READELF_EXECUTABLE "${CMAKE_READELF}")
# The program's libOrvix.so.1 is found in the build while its package is made.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS "${CMAKE_BINARY_DIR}/sdk")
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)

set(CPACK_DEBIAN_LIB_PACKAGE_NAME "liborvix1")
set(CPACK_DEBIAN_LIB_PACKAGE_SECTION "libs")
set(CPACK_COMPONENT_LIB_DESCRIPTION "camera library for USB document cameras
libOrvix drives overhead document cameras: it lists simulated and Video4Linux2
cameras, streams their live picture, and captures pages to JPEG files with
automatic cropping, rotation, document optimisation and a text watermark.

This package holds the shared library used by the Quillo capture program.")
# Only the library package has a shared library to describe.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
# CPack would add postinst and postrm scripts that call ldconfig; naming
# scripts of ours that do not exist keeps them out (CPack warns that it
# cannot find them), and the trigger does the work instead.
set(CPACK_DEBIAN_LIB_PACKAGE_CONTROL_EXTRA
  "${CMAKE_SOURCE_DIR}/packaging/liborvix1/symbols;${CMAKE_SOURCE_DIR}/packaging/liborvix1/triggers"
  "${CMAKE_BINARY_DIR}/packaging/none/postinst;${CMAKE_BINARY_DIR}/packaging/none/postrm")

set(CPACK_DEBIAN_APP_PACKAGE_NAME "quillo")
set(CPACK_DEBIAN_APP_PACKAGE_SECTION "graphics")
set(CPACK_COMPONENT_APP_DESCRIPTION "capture application for USB document cameras
Quillo shows the live picture of an overhead document camera and scans the
page laid under it: rotate and crop the picture, scan pages to JPG or
single-page PDF files named after the time of capture, see them as
thumbnails, open or delete them, and merge them into one PDF file.")
set(CPACK_COMPONENT_APP_DEPENDS lib)
# The SVG image plugin draws the PDF placeholder; the CJK font renders the
# Chinese texts and the watermark.
set(CPACK_DEBIAN_APP_PACKAGE_DEPENDS "libqt5svg5, fonts-wqy-microhei")
# Searchable PDFs read Chinese and English; without the data the pages keep
# no text layer, so the data is recommended rather than required.
set(CPACK_DEBIAN_APP_PACKAGE_RECOMMENDS "tesseract-ocr-chi-sim, tesseract-ocr-eng")

if(CMAKE_CROSSCOMPILING AND CMAKE_SYSTEM_PROCESSOR MATCHES "aarch64|arm64")
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
  # dpkg-shlibdeps reads the build machine's package database, which has no
  # arm64 libraries; name what it finds for the amd64 build of Debian 12.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
  set(CPACK_DEBIAN_LIB_PACKAGE_DEPENDS
    "libc6 (>= 2.35), libfreetype6 (>= 2.2.1), libgcc-s1 (>= 3.0), libopencv-core406 (>= 4.6.0+dfsg)"
    ", libopencv-imgcodecs406 (>= 4.6.0+dfsg), libopencv-imgproc406 (>= 4.6.0+dfsg)"
    ", libstdc++6 (>= 11), libturbojpeg0 (>= 1:2.0.2)")
  string(REPLACE ";" "" CPACK_DEBIAN_LIB_PACKAGE_DEPENDS "${CPACK_DEBIAN_LIB_PACKAGE_DEPENDS}")
  string(APPEND CPACK_DEBIAN_APP_PACKAGE_DEPENDS
    ", libc6 (>= 2.34), libgcc-s1 (>= 3.0), libhpdf-2.3.0 (>= 2.3.0), libqt5core5a (>= 5.15.1)"
    ", libqt5gui5 (>= 5.14.1) | libqt5gui5-gles (>= 5.14.1), libqt5widgets5 (>= 5.2.0)"
    ", libstdc++6 (>= 5.2), libtesseract5 (>= 5.3.0)")
endif()
include(CPack)

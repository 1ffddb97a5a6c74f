# Screenshot and pixel probe for scripts/e2e.sh (not a test itself).
add_executable(sessiongrab tools/sessiongrab.cpp)
target_link_libraries(sessiongrab PRIVATE Qt5::Gui)
# Page pictures, their identification and read-back accuracy for scripts/e2e-handsfree.sh
# and scripts/e2e-ocr.sh (not a test itself).
add_executable(pagepictures tools/pagepictures.cpp ../bench/textpage.h)
target_include_directories(pagepictures PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(pagepictures PRIVATE Qt5::Gui)

# Imaging: the 24-bit resampler against Pillow's BOX resize, and the
# compressed stream against lz4 -1, on a rendered page and a spool file.
find_package(Qt6 REQUIRED COMPONENTS Gui)
add_executable(bench_imaging bench_imaging.cpp ${PROJECT_SOURCE_DIR}/tests/imaging/testpage.cpp)
target_include_directories(bench_imaging PRIVATE ${PROJECT_SOURCE_DIR}/tests/imaging)
target_link_libraries(bench_imaging PRIVATE lystra_common lystra_imaging Qt6::Gui)

# Print file model: table analysis and PDF saving of the 2 000-page demo
# report, read from the gateway server this program starts with its demo data.
add_executable(bench_printfiles bench_printfiles.cpp ${PROJECT_SOURCE_DIR}/tests/support/vidazevivuprocess.cpp)
target_include_directories(bench_printfiles PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
target_compile_definitions(bench_printfiles PRIVATE LYSTRA_VIDAZEVIVU_PATH="$<TARGET_FILE:vidazevivu>")
target_link_libraries(bench_printfiles PRIVATE lystra_common lystra_printfiles)
add_dependencies(bench_printfiles vidazevivu)
set_target_properties(bench_printfiles PROPERTIES AUTOMOC OFF)

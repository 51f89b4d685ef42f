# Database layer: a TcsQuery fetching page rows beside the bare gateway
# client fetching the same rows, and resident memory of a disk-cached result
# of a million rows; both against vidazevivu started on a free loopback port
# (its test helper is compiled in: tests are off in the bench build).
add_executable(bench_db bench_db.cpp ${PROJECT_SOURCE_DIR}/tests/support/vidazevivuprocess.cpp)
target_include_directories(bench_db PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
target_compile_definitions(bench_db PRIVATE LYSTRA_VIDAZEVIVU_PATH="$<TARGET_FILE:vidazevivu>")
target_link_libraries(bench_db PRIVATE lystra_common lystra_db lystra_odbc)
add_dependencies(bench_db vidazevivu)
set_target_properties(bench_db PROPERTIES AUTOMOC OFF)

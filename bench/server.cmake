# Gateway server under load: 200 protocol clients against the running
# vidazevivu beside the same SELECT in-process; memory per connection and
# idle connections held.
find_package(Qt6 REQUIRED COMPONENTS Sql)
add_executable(bench_server bench_server.cpp)
target_link_libraries(bench_server PRIVATE lystra_common lystra_odbc lystra_server Qt6::Sql)
target_compile_definitions(bench_server PRIVATE LYSTRA_VIDAZEVIVU_PATH="$<TARGET_FILE:vidazevivu>")
add_dependencies(bench_server vidazevivu)
set_target_properties(bench_server PROPERTIES AUTOMOC OFF)

# Gateway client: row splitting against a plain scan, and rows fetched end to
# end from the scripted loopback server (compiled in: tests are off here).
add_executable(bench_odbc bench_odbc.cpp ${PROJECT_SOURCE_DIR}/tests/support/scriptedserver.cpp)
target_include_directories(bench_odbc PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
target_link_libraries(bench_odbc PRIVATE lystra_common lystra_odbc)
set_target_properties(bench_odbc PROPERTIES AUTOMOC OFF)

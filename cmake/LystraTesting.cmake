# lystra_add_test(<name> SOURCES ... [LIBS ...] [GUI] [TIMEOUT seconds])
#
# One test executable is one ctest entry, so a suite that starts a server
# starts it once. GUI tests get a QApplication and run offscreen; the others
# get a QCoreApplication. Every test runs with its own settings location, so
# nothing a test stores reaches the user's real configuration.
function(lystra_add_test name)
    cmake_parse_arguments(T "GUI" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    if(T_GUI)
        set(_main lystra_test_main_gui)
    else()
        set(_main lystra_test_main)
    endif()
    target_link_libraries(${name} PRIVATE lystra_common ${T_LIBS} ${_main}
                                          GTest::gmock GTest::gtest)
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        TIMEOUT ${T_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LYSTRA_BUILD_DIR=${PROJECT_BINARY_DIR}")
endfunction()

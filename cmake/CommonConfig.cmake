# One interface target that carries the language standard, the warnings and
# Qt's safety defines. Every library, program, test and benchmark links it.
add_library(lystra_common INTERFACE)
add_library(Lystra::common ALIAS lystra_common)

target_compile_features(lystra_common INTERFACE cxx_std_20)
set(CMAKE_CXX_EXTENSIONS OFF)

target_compile_options(lystra_common INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align
    -Woverloaded-virtual -Wimplicit-fallthrough)
if(LYSTRA_WERROR)
    target_compile_options(lystra_common INTERFACE -Werror)
endif()

target_compile_definitions(lystra_common INTERFACE
    QT_NO_CAST_FROM_ASCII
    QT_NO_CAST_TO_ASCII
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_NO_URL_CAST_FROM_STRING
    QT_USE_QSTRINGBUILDER)

if(LYSTRA_SANITIZE)
    set(_lystra_san -fsanitize=address,undefined -fno-sanitize-recover=undefined
                    -fno-omit-frame-pointer)
    target_compile_options(lystra_common INTERFACE ${_lystra_san})
    target_link_options(lystra_common INTERFACE ${_lystra_san})
endif()

# The fuzz build compiles everything with coverage instrumentation so that
# libFuzzer sees inside the libraries, not only the target's own file.
if(LYSTRA_BUILD_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "LYSTRA_BUILD_FUZZ needs clang (configure with CXX=clang++)")
    endif()
    target_compile_options(lystra_common INTERFACE
        -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
    target_link_options(lystra_common INTERFACE -fsanitize=address,undefined)
endif()

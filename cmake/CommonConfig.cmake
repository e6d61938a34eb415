# Compiler settings shared by every target of the project.
set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)

option(QUERNEL_WERROR "Treat compiler warnings as errors" OFF)
option(QUERNEL_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
# libFuzzer programs (tests/fuzz); needs clang. Everything is built with the sanitizers and the
# fuzzer's coverage instrumentation.
option(QUERNEL_FUZZ "Build the libFuzzer programs (clang)" OFF)

add_library(quernel_common INTERFACE)
target_compile_features(quernel_common INTERFACE cxx_std_20)
target_compile_options(quernel_common INTERFACE -Wall -Wextra -Wpedantic)
if(QUERNEL_WERROR)
    target_compile_options(quernel_common INTERFACE -Werror)
endif()
if(QUERNEL_SANITIZE OR QUERNEL_FUZZ)
    target_compile_options(quernel_common INTERFACE
        -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(quernel_common INTERFACE -fsanitize=address,undefined)
endif()
if(QUERNEL_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "QUERNEL_FUZZ needs clang: -DCMAKE_CXX_COMPILER=clang++")
    endif()
    target_compile_options(quernel_common INTERFACE -fsanitize=fuzzer-no-link)
endif()
target_include_directories(quernel_common INTERFACE "${PROJECT_SOURCE_DIR}")

# Fails the configuration when a core library links Qt, directly or through another target.
function(quernel_forbid_qt target)
    get_target_property(_libs ${target} LINK_LIBRARIES)
    foreach(_lib IN LISTS _libs)
        if(_lib MATCHES "Qt[0-9]*::" OR _lib MATCHES "^quernel_(platform|ui|update_ui)$")
            message(FATAL_ERROR "${target} is a core library and must not link ${_lib}")
        endif()
    endforeach()
endfunction()

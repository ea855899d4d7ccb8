# libFuzzer builds (KADREL_FUZZ, clang only). The whole core is instrumented with the sanitizers
# so that they see inside what is fuzzed; everything that links the core takes them along.
if(KADREL_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "KADREL_FUZZ needs clang (libFuzzer): configure with -DCMAKE_CXX_COMPILER=clang++")
    endif()
    target_compile_options(kadrel_core PUBLIC -fsanitize=address,undefined -fno-sanitize-recover=all
        -fno-omit-frame-pointer -fsanitize=fuzzer-no-link)
    target_link_options(kadrel_core INTERFACE -fsanitize=address,undefined)
endif()

# One libFuzzer target per fuzz_*.cpp of the calling folder, linked to the given libraries and
# built into the build folder's top, where scripts/fuzz.sh runs them.
function(kadrel_add_fuzz_targets)
    if(NOT KADREL_FUZZ)
        return()
    endif()
    file(GLOB fuzz_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_*.cpp)
    foreach(source IN LISTS fuzz_sources)
        get_filename_component(name ${source} NAME_WE)
        add_executable(${name} ${source})
        target_link_libraries(${name} PRIVATE ${ARGN})
        target_link_options(${name} PRIVATE -fsanitize=fuzzer)
        set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
    endforeach()
endfunction()

# The core library (midi/, disasm/, util/), the song (song/) and the WAV export (render/) must not
# depend on Qt, so that the command-line tools and the sanitizer builds stay light. Usable from
# CMakeLists.txt and as a script:
#   cmake -DKADREL_SOURCE_DIR=<dir> -P cmake/CheckNoQt.cmake
function(kadrel_check_no_qt source_dir)
    file(GLOB_RECURSE core_files
        ${source_dir}/midi/*.h ${source_dir}/midi/*.cpp
        ${source_dir}/disasm/*.h ${source_dir}/disasm/*.cpp
        ${source_dir}/util/*.h ${source_dir}/util/*.cpp
        ${source_dir}/song/*.h ${source_dir}/song/*.cpp
        ${source_dir}/render/*.h ${source_dir}/render/*.cpp)
    set(offenders "")
    foreach(file IN LISTS core_files)
        file(STRINGS ${file} hits REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](Q[A-Za-z]|qt)")
        if(hits)
            list(APPEND offenders "${file}: ${hits}")
        endif()
    endforeach()
    if(offenders)
        list(JOIN offenders "\n" text)
        message(FATAL_ERROR "Core files include Qt headers:\n${text}")
    endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE AND DEFINED KADREL_SOURCE_DIR)
    kadrel_check_no_qt(${KADREL_SOURCE_DIR})
endif()

# Installs the build into a scratch prefix and checks that every file a desktop needs is there.
#   cmake -DKADREL_BINARY_DIR=<build> -DKADREL_PREFIX=<scratch> -P cmake/CheckInstall.cmake
file(REMOVE_RECURSE ${KADREL_PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${KADREL_BINARY_DIR} --prefix ${KADREL_PREFIX}
    RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
set(expected
    bin/kadrel
    bin/kadrel-disasm
    share/applications/org.kadrel.Kadrel.desktop
    share/metainfo/org.kadrel.Kadrel.metainfo.xml
    share/icons/hicolor/scalable/apps/org.kadrel.Kadrel.svg
    share/icons/hicolor/48x48/apps/org.kadrel.Kadrel.png
    share/icons/hicolor/256x256/apps/org.kadrel.Kadrel.png)
if(EXISTS ${KADREL_BINARY_DIR}/kadrel-render)
    list(APPEND expected bin/kadrel-render)
endif()
foreach(path IN LISTS expected)
    if(NOT EXISTS ${KADREL_PREFIX}/${path})
        message(FATAL_ERROR "not installed: ${path}")
    endif()
endforeach()
foreach(program kadrel kadrel-disasm)
    execute_process(COMMAND test -x ${KADREL_PREFIX}/bin/${program} RESULT_VARIABLE executable)
    if(NOT executable EQUAL 0)
        message(FATAL_ERROR "not executable: bin/${program}")
    endif()
endforeach()
file(REMOVE_RECURSE ${KADREL_PREFIX})

# `cmake --install build --prefix PREFIX` puts the programs in PREFIX/bin and the desktop entry,
# the AppStream metainfo and the icons where desktops look for them under PREFIX/share.
include(GNUInstallDirs)

set(kadrel_desktop_dir ${CMAKE_SOURCE_DIR}/app/desktop)
set(kadrel_app_id org.kadrel.Kadrel)

foreach(program kadrel kadrel-disasm kadrel-render)
    if(TARGET ${program})
        install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
endforeach()

if(TARGET kadrel)
    install(FILES ${kadrel_desktop_dir}/${kadrel_app_id}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${kadrel_desktop_dir}/${kadrel_app_id}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    install(FILES ${kadrel_desktop_dir}/${kadrel_app_id}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
    foreach(size 48 256)
        install(FILES ${kadrel_desktop_dir}/${kadrel_app_id}-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${kadrel_app_id}.png)
    endforeach()
endif()

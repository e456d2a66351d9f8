# What `cmake --install` puts where: the engine for other games (libraries, headers, a CMake
# package and a pkg-config file) and the game for players (launcher, program, data, desktop
# entry, icons, AppStream data, manual page). Paths follow GNUInstallDirs.
include(CMakePackageConfigHelpers)

set(ZAN_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/ZanEngine)
install(EXPORT ZanEngineTargets NAMESPACE ZanEngine:: DESTINATION ${ZAN_CMAKE_DIR}
    COMPONENT Development)
configure_package_config_file(cmake/ZanEngineConfig.cmake.in
    ${CMAKE_BINARY_DIR}/ZanEngineConfig.cmake INSTALL_DESTINATION ${ZAN_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/ZanEngineConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/ZanEngineConfig.cmake
    ${CMAKE_BINARY_DIR}/ZanEngineConfigVersion.cmake DESTINATION ${ZAN_CMAKE_DIR}
    COMPONENT Development)

# The pkg-config file names the prefix given at install time (`cmake --install --prefix`),
# which may differ from the one configured.
foreach(dir LIBDIR INCLUDEDIR)
    if(IS_ABSOLUTE "${CMAKE_INSTALL_${dir}}")
        set(ZAN_PC_${dir} "${CMAKE_INSTALL_${dir}}")
    else()
        set(ZAN_PC_${dir} "\${prefix}/${CMAKE_INSTALL_${dir}}")
    endif()
endforeach()
# Outside the linker's own folders a game needs an RPATH to find the engine when it runs.
install(CODE "
    set(PROJECT_VERSION [[${PROJECT_VERSION}]])
    set(ZAN_PC_LIBDIR [[${ZAN_PC_LIBDIR}]])
    set(ZAN_PC_INCLUDEDIR [[${ZAN_PC_INCLUDEDIR}]])
    set(ZAN_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
    set(zan_implicit [[${CMAKE_CXX_IMPLICIT_LINK_DIRECTORIES}]])
    set(zan_libdir [[${CMAKE_INSTALL_LIBDIR}]])
    if(NOT IS_ABSOLUTE \"\${zan_libdir}\")
        set(zan_libdir \"\${CMAKE_INSTALL_PREFIX}/\${zan_libdir}\")
    endif()
    set(ZAN_PC_RPATH \" -Wl,-rpath,\\\${libdir}\")
    list(FIND zan_implicit \"\${zan_libdir}\" zan_found)
    if(zan_found GREATER -1)
        set(ZAN_PC_RPATH \"\")
    endif()
    configure_file([[${PROJECT_SOURCE_DIR}/cmake/zanengine.pc.in]]
        [[${CMAKE_BINARY_DIR}/zanengine.pc]] @ONLY)" COMPONENT Development)
install(FILES ${CMAKE_BINARY_DIR}/zanengine.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
    COMPONENT Development)

# The game.
# A run log left by playing from the source tree is no part of the game.
install(DIRECTORY data/ DESTINATION ${CMAKE_INSTALL_DATADIR}/skyfloat
    PATTERN "运行日志.htm" EXCLUDE)
file(RELATIVE_PATH ZAN_LAUNCHER_TO_DATA ${CMAKE_INSTALL_FULL_BINDIR}
    ${CMAKE_INSTALL_FULL_DATADIR}/skyfloat)
file(RELATIVE_PATH ZAN_LAUNCHER_TO_PROGRAM ${CMAKE_INSTALL_FULL_BINDIR}
    ${CMAKE_INSTALL_FULL_LIBEXECDIR}/skyfloat/Skyfloat)
configure_file(tools/skyfloat.in ${CMAKE_BINARY_DIR}/skyfloat @ONLY)
install(PROGRAMS ${CMAKE_BINARY_DIR}/skyfloat DESTINATION ${CMAKE_INSTALL_BINDIR})

set(ZAN_APP_ID org.zanengine.Skyfloat)
install(FILES dist/${ZAN_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file(dist/${ZAN_APP_ID}.metainfo.xml.in ${CMAKE_BINARY_DIR}/${ZAN_APP_ID}.metainfo.xml
    @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/${ZAN_APP_ID}.metainfo.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(DIRECTORY dist/icons/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
set(ZAN_MAN_DATADIR ${CMAKE_INSTALL_FULL_DATADIR}/skyfloat)
configure_file(dist/skyfloat.6 ${CMAKE_BINARY_DIR}/skyfloat.6 @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/skyfloat.6 DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)

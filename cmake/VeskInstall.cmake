# Installation: headers, vesk.dll, its import library, a CMake package and a pkg-config file.
include(CMakePackageConfigHelpers)

install(TARGETS vesk EXPORT VeskTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
# The C++ runtime DLLs vesk.dll and its users share.
install(FILES ${VESK_RUNTIME_DLLS} DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/vesk DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

set(VESK_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Vesk)
install(EXPORT VeskTargets NAMESPACE Vesk:: DESTINATION ${VESK_CMAKE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/VeskConfig.cmake.in
  ${CMAKE_BINARY_DIR}/VeskConfig.cmake INSTALL_DESTINATION ${VESK_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/VeskConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/VeskConfig.cmake ${CMAKE_BINARY_DIR}/VeskConfigVersion.cmake
  DESTINATION ${VESK_CMAKE_DIR})

configure_file(${PROJECT_SOURCE_DIR}/cmake/vesk.pc.in ${CMAKE_BINARY_DIR}/vesk.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/vesk.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The program manifest: the CMake function beside VeskConfig.cmake, and the plain
# manifest (every setting) with its resource script for other build systems.
include(${CMAKE_CURRENT_LIST_DIR}/VeskManifest.cmake)
vesk_manifest_file(${CMAKE_BINARY_DIR}/share/vesk/vesk.manifest UTF8 VISUAL_STYLES DPI_AWARE LONG_PATHS)
install(FILES ${PROJECT_SOURCE_DIR}/cmake/VeskManifest.cmake DESTINATION ${VESK_CMAKE_DIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/cmake/manifest DESTINATION ${VESK_CMAKE_DIR})
install(FILES ${CMAKE_BINARY_DIR}/share/vesk/vesk.manifest ${PROJECT_SOURCE_DIR}/cmake/manifest/vesk.rc
        DESTINATION ${CMAKE_INSTALL_DATADIR}/vesk)

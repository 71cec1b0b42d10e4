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

# Readable names out of the box: HRESULTs.txt and GUIDs.txt, written at build time
# from the MinGW-w64 headers of the compiler in use (cmake/VeskGenerateNames.cmake),
# into <build>/share/vesk beside <build>/bin as in the installed package; and
# vesknames.exe, which records their paths under the library's key (/register)
# and removes them again (/unregister).

# The headers are those the compiler reads: ask it where winerror.h is.
set(_probe ${CMAKE_BINARY_DIR}/vesk_names_probe.cpp)
file(WRITE ${_probe} "#include <winerror.h>\n")
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -M ${_probe}
                OUTPUT_VARIABLE _deps RESULT_VARIABLE _result ERROR_VARIABLE _error)
string(REGEX MATCH "[^ \t\r\n\\\\]*[/\\\\]winerror\\.h" VESK_WINERROR_H "${_deps}")
if(NOT _result EQUAL 0 OR VESK_WINERROR_H STREQUAL "")
  message(FATAL_ERROR "Can't find winerror.h through ${CMAKE_CXX_COMPILER}: ${_error}")
endif()
get_filename_component(VESK_SDK_HEADERS ${VESK_WINERROR_H} DIRECTORY)
get_filename_component(VESK_SDK_HEADERS ${VESK_SDK_HEADERS} REALPATH)

set(VESK_NAMES_DIR ${CMAKE_BINARY_DIR}/share/vesk)
set(VESK_HRESULTS_TXT ${VESK_NAMES_DIR}/HRESULTs.txt)
set(VESK_GUIDS_TXT ${VESK_NAMES_DIR}/GUIDs.txt)
add_custom_command(
  OUTPUT ${VESK_HRESULTS_TXT} ${VESK_GUIDS_TXT}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${VESK_NAMES_DIR}
  COMMAND ${CMAKE_COMMAND} -DHEADERS=${VESK_SDK_HEADERS} -DHRESULTS=${VESK_HRESULTS_TXT}
          -DGUIDS=${VESK_GUIDS_TXT} -P ${PROJECT_SOURCE_DIR}/cmake/VeskGenerateNames.cmake
  DEPENDS ${PROJECT_SOURCE_DIR}/cmake/VeskGenerateNames.cmake ${VESK_SDK_HEADERS}/winerror.h
  COMMENT "Generating HRESULTs.txt and GUIDs.txt from ${VESK_SDK_HEADERS}"
  VERBATIM)
add_custom_target(vesk_names_files ALL DEPENDS ${VESK_HRESULTS_TXT} ${VESK_GUIDS_TXT})

add_executable(vesknames ${PROJECT_SOURCE_DIR}/tools/vesknames.cpp)
target_link_libraries(vesknames PRIVATE vesk)
vesk_warnings(vesknames)
set_target_properties(vesknames PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
add_dependencies(vesknames vesk_names_files)

install(FILES ${VESK_HRESULTS_TXT} ${VESK_GUIDS_TXT} DESTINATION ${CMAKE_INSTALL_DATADIR}/vesk)
install(TARGETS vesknames RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

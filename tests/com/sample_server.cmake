# The sample in-process server of the COM tests and its client program; the
# suite com.server registers the server with regsvr32 and runs the client.
add_library(test_com_sample SHARED ${CMAKE_CURRENT_LIST_DIR}/sample_server.cpp ${CMAKE_CURRENT_LIST_DIR}/sample_server.def)
set_target_properties(test_com_sample PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
target_link_libraries(test_com_sample PRIVATE vesk strmiids ole32 uuid)
vesk_warnings(test_com_sample)

add_executable(test_com_sample_client ${CMAKE_CURRENT_LIST_DIR}/sample_client.cpp)
set_target_properties(test_com_sample_client PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
target_link_libraries(test_com_sample_client PRIVATE ole32 uuid)
vesk_warnings(test_com_sample_client)

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  # The .def names the entry points undecorated; their __stdcall symbols carry @n.
  target_link_options(test_com_sample PRIVATE -Wl,--enable-stdcall-fixup)
endif()

if(TARGET test_com_server)
  target_link_libraries(test_com_server PRIVATE strmiids)
  add_dependencies(test_com_server test_com_sample test_com_sample_client)
  set_tests_properties(com.server PROPERTIES TIMEOUT 240)
endif()

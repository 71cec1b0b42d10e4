# The sample in-process server of the COM tests (sample_server.h): com.registration
# registers it with regsvr32 and creates its classes, com.shell calls them as the
# shell and a property frame would.
set(VESK_SAMPLE_RES ${CMAKE_CURRENT_BINARY_DIR}/sample_server.res.o)
add_custom_command(OUTPUT ${VESK_SAMPLE_RES}
                   COMMAND ${CMAKE_RC_COMPILER} -O coff -i ${CMAKE_CURRENT_LIST_DIR}/sample_server.rc -o ${VESK_SAMPLE_RES}
                   DEPENDS ${CMAKE_CURRENT_LIST_DIR}/sample_server.rc)
add_library(test_com_sample SHARED ${CMAKE_CURRENT_LIST_DIR}/sample_server.cpp
            ${CMAKE_CURRENT_LIST_DIR}/sample_server.def ${VESK_SAMPLE_RES})
set_target_properties(test_com_sample PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
target_link_libraries(test_com_sample PRIVATE vesk strmiids ole32 uuid)
vesk_warnings(test_com_sample)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  # The .def names the entry points undecorated; their __stdcall symbols carry @n.
  target_link_options(test_com_sample PRIVATE -Wl,--enable-stdcall-fixup)
endif()

foreach(suite core values names registration shell)
  if(TARGET test_com_${suite})
    target_link_libraries(test_com_${suite} PRIVATE ole32 oleaut32 uuid shell32 strmiids)
  endif()
endforeach()
if(TARGET test_com_values)
  # Without the BSTR cache every string goes to and from the task allocator,
  # where the suite's allocation spy counts it.
  set_tests_properties(com.values PROPERTIES ENVIRONMENT "OANOCACHE=1")
endif()
if(TARGET test_com_registration)
  add_dependencies(test_com_registration test_com_sample)
  set_tests_properties(com.registration PROPERTIES TIMEOUT 240)
endif()
if(TARGET test_com_shell)
  add_dependencies(test_com_shell test_com_sample)
  # It makes windows: alone, like the window suites.
  set_tests_properties(com.shell PROPERTIES RUN_SERIAL TRUE TIMEOUT 150)
endif()

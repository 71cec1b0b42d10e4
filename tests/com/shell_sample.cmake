# The shell sample server: a shell extension and a property page on the
# library's COM core. The suite com.shell_extension loads it and calls it as
# the shell and a property frame would.
set(VESK_SHELL_SAMPLE_RES ${CMAKE_CURRENT_BINARY_DIR}/shell_sample_server.res.o)
add_custom_command(OUTPUT ${VESK_SHELL_SAMPLE_RES}
                   COMMAND ${CMAKE_RC_COMPILER} -O coff -i ${CMAKE_CURRENT_LIST_DIR}/shell_sample_server.rc
                           -o ${VESK_SHELL_SAMPLE_RES}
                   DEPENDS ${CMAKE_CURRENT_LIST_DIR}/shell_sample_server.rc)
add_library(test_com_shell_sample SHARED ${CMAKE_CURRENT_LIST_DIR}/shell_sample_server.cpp
            ${CMAKE_CURRENT_LIST_DIR}/shell_sample_server.def ${VESK_SHELL_SAMPLE_RES})
set_target_properties(test_com_shell_sample PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
target_link_libraries(test_com_shell_sample PRIVATE vesk ole32 uuid)
vesk_warnings(test_com_shell_sample)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  target_link_options(test_com_shell_sample PRIVATE -Wl,--enable-stdcall-fixup)
endif()

foreach(suite shell_extension item_id_list)
  if(TARGET test_com_${suite})
    target_link_libraries(test_com_${suite} PRIVATE ole32 oleaut32 uuid shell32)
    set_tests_properties(com.${suite} PROPERTIES TIMEOUT 150)
  endif()
endforeach()
if(TARGET test_com_shell_extension)
  add_dependencies(test_com_shell_extension test_com_shell_sample)
  # It shows the system's property frame: alone, like the window suites.
  set_tests_properties(com.shell_extension PROPERTIES RUN_SERIAL TRUE)
endif()

# com.name_files runs vesknames.exe on the generated files of this build and writes
# the library's key in HKEY_LOCAL_MACHINE: no other suite may look names up while
# it runs, so it runs alone.
if(TARGET test_com_name_files)
  add_dependencies(test_com_name_files vesknames vesk_names_files)
  set_tests_properties(com.name_files PROPERTIES RUN_SERIAL TRUE TIMEOUT 240)
endif()
# The look-ups' one reading of the name files needs a process of its own.
if(TARGET test_com_names)
  target_link_libraries(test_com_names PRIVATE ole32)
  add_dependencies(test_com_names vesk_names_files)
  add_test(NAME com.names_lookup COMMAND test_com_names --gtest_brief=1 --gtest_filter=NameLookUp.*
           WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  set_tests_properties(com.names_lookup PROPERTIES LABELS com PASS_REGULAR_EXPRESSION "\\[  PASSED  \\] 1 test"
                       FAIL_REGULAR_EXPRESSION "\\[  FAILED  \\]")
endif()

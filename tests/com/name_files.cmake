# The look-ups' one reading of the name files needs a process of its own: the
# suite com.names runs again with only that test.
if(TARGET test_com_names)
  add_dependencies(test_com_names vesk_names_files)
  add_test(NAME com.names_lookup COMMAND test_com_names --gtest_brief=1 --gtest_filter=NameLookUp.*
           WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  set_tests_properties(com.names_lookup PROPERTIES LABELS com PASS_REGULAR_EXPRESSION "\\[  PASSED  \\] 1 test"
                       FAIL_REGULAR_EXPRESSION "\\[  FAILED  \\]")
endif()

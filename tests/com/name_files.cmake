# com.name_files runs vesknames.exe on the generated files of this build and writes
# the library's key in HKEY_LOCAL_MACHINE: no other suite may look names up while
# it runs, so it runs alone.
if(TARGET test_com_name_files)
  target_link_libraries(test_com_name_files PRIVATE uuid)
  add_dependencies(test_com_name_files vesknames vesk_names_files)
  set_tests_properties(com.name_files PROPERTIES RUN_SERIAL TRUE TIMEOUT 240)
endif()

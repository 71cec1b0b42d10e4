# The module suites' fixture: test_system_resources (vesk_test_resources.dll), a
# small DLL with one export, a string table, a version block, a message table
# (windmc) and raw data (windres). The suites find it beside themselves in bin/.
string(REPLACE "windres" "windmc" VESK_WINDMC ${CMAKE_RC_COMPILER})
set(resources_src ${CMAKE_CURRENT_LIST_DIR}/resources)
set(resources_out ${CMAKE_CURRENT_BINARY_DIR}/system_resources)
file(MAKE_DIRECTORY ${resources_out})
add_custom_command(
  OUTPUT ${resources_out}/messages.rc ${resources_out}/messages.h
  COMMAND ${VESK_WINDMC} -h ${resources_out} -r ${resources_out} ${resources_src}/messages.mc
  DEPENDS ${resources_src}/messages.mc
  COMMENT "Message table of the test module")
add_custom_command(
  OUTPUT ${resources_out}/resources.res.o
  COMMAND ${CMAKE_RC_COMPILER} -I ${resources_out} --include-dir ${resources_out} -O coff
          -i ${resources_src}/resources.rc -o ${resources_out}/resources.res.o
  WORKING_DIRECTORY ${resources_out}
  DEPENDS ${resources_src}/resources.rc ${resources_out}/messages.rc
  COMMENT "Resources of the test module")
add_library(test_system_resources SHARED ${resources_src}/resources_dll.cpp ${resources_out}/resources.res.o)
set_target_properties(test_system_resources PROPERTIES PREFIX "" OUTPUT_NAME vesk_test_resources
                      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
vesk_warnings(test_system_resources)
# Stripped, so that the file stays small (about 14 KB): damaged resource entries
# then claim well beyond its end.
target_link_options(test_system_resources PRIVATE -s)
add_dependencies(test_system_module test_system_resources)
# The damaged-block sweep reads the sound block with the system's own calls.
target_link_libraries(test_system_module PRIVATE version)

# The translation suite faults on purpose: its own code is built to unwind from any
# instruction, except one file that stands for code built without that promise.
target_compile_options(test_system_startup PRIVATE -fnon-call-exceptions)
target_sources(test_system_startup PRIVATE ${CMAKE_CURRENT_LIST_DIR}/startup_plain.cpp)
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/startup_plain.cpp PROPERTIES COMPILE_OPTIONS "-fno-non-call-exceptions;-fexceptions")

# The archive portability program (not a suite): scripts/archive-portability runs the
# i686 and x86_64 builds of it against each other, and each width's ctest compares
# what it writes with the golden bytes committed beside it: the record format is fixed.
add_executable(archive_portability ${CMAKE_CURRENT_LIST_DIR}/archive_portability.cpp)
target_link_libraries(archive_portability PRIVATE vesk)
vesk_warnings(archive_portability)
set_target_properties(archive_portability PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
add_test(NAME io.archive_golden COMMAND archive_portability check Z:${CMAKE_CURRENT_LIST_DIR}/archive_golden.bin
         WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set_tests_properties(io.archive_golden PROPERTIES LABELS io TIMEOUT 120 PASS_REGULAR_EXPRESSION "graph intact")

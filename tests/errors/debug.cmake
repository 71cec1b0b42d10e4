# The child program the debug-output suite runs under its own debugger loop.
add_executable(test_errors_debug_child ${CMAKE_CURRENT_LIST_DIR}/debug_child.cpp)
target_link_libraries(test_errors_debug_child PRIVATE vesk)
vesk_warnings(test_errors_debug_child)
set_target_properties(test_errors_debug_child PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
add_dependencies(test_errors_debug test_errors_debug_child)
set_tests_properties(errors.debug PROPERTIES TIMEOUT 120)

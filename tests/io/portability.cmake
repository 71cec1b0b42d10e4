# The archive portability program (not a suite): scripts/archive-portability runs the
# i686 and x86_64 builds of it against each other.
add_executable(archive_portability ${CMAKE_CURRENT_LIST_DIR}/archive_portability.cpp)
target_link_libraries(archive_portability PRIVATE vesk)
vesk_warnings(archive_portability)
set_target_properties(archive_portability PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

# The serialisation suite compares the archive it writes with golden bytes of an
# earlier writer, committed beside it: the record format is fixed.
target_compile_definitions(test_io_serializable PRIVATE VESK_GOLDEN_ARCHIVE="Z:${CMAKE_CURRENT_LIST_DIR}/archive_golden.bin")

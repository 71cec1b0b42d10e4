# The Unicode suite's version texts, compiled from UTF-8 by windres.
set(VESK_UNICODE_RES ${CMAKE_CURRENT_BINARY_DIR}/unicode.res.o)
add_custom_command(OUTPUT ${VESK_UNICODE_RES}
                   COMMAND ${CMAKE_RC_COMPILER} -O coff -i ${CMAKE_CURRENT_LIST_DIR}/unicode.rc -o ${VESK_UNICODE_RES}
                   DEPENDS ${CMAKE_CURRENT_LIST_DIR}/unicode.rc)
if(TARGET test_text_unicode)
  target_sources(test_text_unicode PRIVATE ${VESK_UNICODE_RES})
  target_link_libraries(test_text_unicode PRIVATE ole32 shell32)
  set_tests_properties(text.unicode PROPERTIES TIMEOUT 120)
endif()

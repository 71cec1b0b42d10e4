# The dialog suites show real dialogs and property sheets under the run's Xvfb,
# made from the templates of dialog_resources.rc, which windres compiles here.
set(VESK_DIALOG_RC ${CMAKE_CURRENT_LIST_DIR}/dialog_resources.rc)
set(VESK_DIALOG_RES ${CMAKE_CURRENT_BINARY_DIR}/dialog_resources.res.o)
add_custom_command(OUTPUT ${VESK_DIALOG_RES}
                   COMMAND ${CMAKE_RC_COMPILER} -O coff -I ${CMAKE_CURRENT_LIST_DIR} -i ${VESK_DIALOG_RC}
                           -o ${VESK_DIALOG_RES}
                   DEPENDS ${VESK_DIALOG_RC}
                           ${CMAKE_CURRENT_LIST_DIR}/wizard_watermark.bmp ${CMAKE_CURRENT_LIST_DIR}/wizard_header.bmp)
foreach(suite dialog property_sheet)
  if(TARGET test_gui_${suite})
    target_sources(test_gui_${suite} PRIVATE ${VESK_DIALOG_RES})
    target_link_libraries(test_gui_${suite} PRIVATE comctl32)
    # Each suite has its own watchdog; this is the second line of defence. They run
    # alone: other suites' windows would take focus and change the compared sequences.
    set_tests_properties(gui.${suite} PROPERTIES TIMEOUT 150 RUN_SERIAL TRUE)
  endif()
endforeach()

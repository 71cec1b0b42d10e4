# The control suites create real windows and common dialogs under the run's
# Xvfb. Like the window suites they run alone (other suites' windows would take
# focus and activation away) and carry their own watchdogs; the ctest limit is
# the second line of defence.
foreach(suite gui.views gui.menus gui.file_dialog)
  if(TEST ${suite})
    set_tests_properties(${suite} PROPERTIES TIMEOUT 240 RUN_SERIAL TRUE)
  endif()
endforeach()
if(TEST gui.controls)
  set_tests_properties(gui.controls PROPERTIES TIMEOUT 300 RUN_SERIAL TRUE)
endif()

# String resources for the combo box's items-from-a-resource case.
enable_language(RC)
if(TARGET test_gui_controls)
  target_sources(test_gui_controls PRIVATE ${CMAKE_CURRENT_LIST_DIR}/controls.rc)
endif()

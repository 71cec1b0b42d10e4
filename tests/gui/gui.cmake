# The window suite creates real windows under the run's Xvfb. It carries its own
# watchdog; the ctest limit is the second line of defence. It runs alone: windows
# of other suites running at the same time would take focus and activation away
# and change the message sequences that it compares.
if(TEST gui.window)
  set_tests_properties(gui.window PROPERTIES TIMEOUT 150 RUN_SERIAL TRUE)
endif()
# The ownership sweep asks comctl32 itself whether an image list still lives.
if(TARGET test_gui_menus)
  target_link_libraries(test_gui_menus PRIVATE comctl32)
endif()
# The message names the message-name suite compares with, as a string table.
if(TARGET test_gui_wm_identifier)
  enable_language(RC)
  target_sources(test_gui_wm_identifier PRIVATE ${CMAKE_CURRENT_LIST_DIR}/wm_names.rc)
endif()

# The folder browser suite opens the shell's real browser under the run's Xvfb;
# like the other dialog suites it runs alone and carries its own watchdog.
if(TEST gui.folder_dialog)
  set_tests_properties(gui.folder_dialog PROPERTIES TIMEOUT 240 RUN_SERIAL TRUE)
endif()

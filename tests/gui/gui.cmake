# The window suites create real windows under the run's Xvfb. Each carries its own
# watchdog; the ctest limit is the second line of defence.
foreach(suite gui.window gui.window_lifetime)
  if(TEST ${suite})
    set_tests_properties(${suite} PROPERTIES TIMEOUT 150)
  endif()
endforeach()

# The GDI suites draw into memory contexts; a hang there should not hold the run.
foreach(suite gdi.device_context gdi.geometry)
  if(TEST ${suite})
    set_tests_properties(${suite} PROPERTIES TIMEOUT 120)
  endif()
endforeach()

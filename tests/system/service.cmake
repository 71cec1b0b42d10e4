# The service suite's extra target: a minimal kernel driver that Driver loads and
# unloads (the suite's own service is the suite's program itself).

# Built by hand: a driver links nothing of the program runtime the project's link
# options bring in. The 32-bit entry point carries its stdcall decoration.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(VESK_DRIVER_ENTRY _DriverEntry@8)
else()
  set(VESK_DRIVER_ENTRY DriverEntry)
endif()
set(VESK_TEST_DRIVER ${CMAKE_BINARY_DIR}/bin/vesk_test_driver.sys)
add_custom_command(OUTPUT ${VESK_TEST_DRIVER}
  COMMAND ${CMAKE_C_COMPILER} -O2 -Wall -Wextra -Werror -shared -nostdlib -Wl,--subsystem,native
          -Wl,--entry,${VESK_DRIVER_ENTRY} -o ${VESK_TEST_DRIVER}
          ${CMAKE_CURRENT_LIST_DIR}/vesk_test_driver.c -lntoskrnl
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/vesk_test_driver.c
  COMMENT "Building the test kernel driver")
add_custom_target(test_system_driver DEPENDS ${VESK_TEST_DRIVER})

add_dependencies(test_system_service test_system_driver)
# Services start in about 0.1 s under Wine; the bounded-stop case waits on purpose.
set_tests_properties(system.service PROPERTIES TIMEOUT 180)

set_tests_properties(errors.debug PROPERTIES TIMEOUT 120)

set(  kqopt_unit_tests_TESTS)

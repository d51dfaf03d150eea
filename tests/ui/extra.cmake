# The built program, installed, on a private X server (xsession.py says what the test does).
add_test(NAME ui.Program COMMAND ${PYTHON_FOR_TESTS} "${CMAKE_CURRENT_LIST_DIR}/xsession.py"
         "${CMAKE_BINARY_DIR}" "${CMAKE_SOURCE_DIR}" "${BRAKENFOLD_CORPUS_DIR}")
scaled_timeout(_program_timeout 900)
set_tests_properties(ui.Program PROPERTIES RUN_SERIAL TRUE TIMEOUT ${_program_timeout} LABELS "ui;program"
  ENVIRONMENT "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1;LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tools/lsan.supp:print_suppressions=0;BRAKENFOLD_TEST_TIME_FACTOR=${TEST_TIME_FACTOR}")

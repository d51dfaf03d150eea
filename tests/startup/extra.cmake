# The built program starts from a private copy of its application folder, shows its window, and
# ends cleanly with Config.cfg written back when its window is closed as the close box does.
add_test(NAME startup.ProgramStartsAndClosesCleanly
         COMMAND ${PYTHON_FOR_TESTS} "${CMAKE_CURRENT_LIST_DIR}/app_start_test.py" "${BRAKENFOLD_APP_DIR}")
set_tests_properties(startup.ProgramStartsAndClosesCleanly PROPERTIES
  RUN_SERIAL TRUE TIMEOUT 120 LABELS "startup;program"
  ENVIRONMENT "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1;LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tools/lsan.supp:print_suppressions=0")

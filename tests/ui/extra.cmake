# The built program on a private X server (xsession.py says what each scenario does).
foreach(scenario copy installed args)
  add_test(NAME ui.Program.${scenario}
           COMMAND ${PYTHON_FOR_TESTS} "${CMAKE_CURRENT_LIST_DIR}/xsession.py" ${scenario} "${BRAKENFOLD_APP_DIR}"
                   "${CMAKE_BINARY_DIR}" "${CMAKE_SOURCE_DIR}" "${BRAKENFOLD_CORPUS_DIR}")
  set_tests_properties(ui.Program.${scenario} PROPERTIES RUN_SERIAL TRUE TIMEOUT 180 LABELS "ui;program"
    ENVIRONMENT "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1;LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tools/lsan.supp:print_suppressions=0")
endforeach()

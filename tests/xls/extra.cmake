# Whole-corpus fidelity of the one-worksheet extraction: every worksheet of every sound corpus
# workbook extracted by the command-line tool and compared with its source by xlrd and by
# LibreOffice; and the workbooks of the kinds the engine once failed on.
if(TARGET brakenfold-split)
  set(_split_app "$<TARGET_FILE:brakenfold-split>")
else()
  set(_split_app "${BRAKENFOLD_APP_DIR}/brakenfold-split")
endif()
add_test(NAME xls_fidelity
         COMMAND "${PYTHON_FOR_TESTS}" "${CMAKE_CURRENT_LIST_DIR}/fidelity.py" --app "${_split_app}"
                 --corpus "${BRAKENFOLD_CORPUS_DIR}")
# RUN_SERIAL: it keeps both cores busy with two LibreOffice processes. A few minutes on an idle
# 2-core machine, many more while other builds run, hence the generous TIMEOUT.
scaled_timeout(_fidelity_timeout 1800)
set_tests_properties(xls_fidelity PROPERTIES LABELS "fidelity" TIMEOUT ${_fidelity_timeout} RUN_SERIAL TRUE ENVIRONMENT "${TEST_ENV}")
add_test(NAME xls_engine_cases
         COMMAND "${PYTHON_FOR_TESTS}" "${CMAKE_CURRENT_LIST_DIR}/engine_cases.py" --app "${_split_app}")
scaled_timeout(_cases_timeout 900)
set_tests_properties(xls_engine_cases PROPERTIES LABELS "xls" TIMEOUT ${_cases_timeout} ENVIRONMENT "${TEST_ENV}")

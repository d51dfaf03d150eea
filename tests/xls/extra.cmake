# ---- Whole-corpus fidelity of the one-worksheet extraction (owner: fidelity harness) ----
# Every worksheet of every sound BIFF8 workbook of the corpus is extracted by the command-line
# tool and compared with its source by xlrd and by LibreOffice's CSV export. Strict by default:
# every worksheet must be identical; -DBRAKENFOLD_FIDELITY_STRICT=OFF turns it into a report.
option(BRAKENFOLD_FIDELITY_STRICT "The fidelity test requires every corpus worksheet identical" ON)
if(TARGET brakenfold-split)
  set(_fidelity_app "$<TARGET_FILE:brakenfold-split>")
else()
  set(_fidelity_app "${BRAKENFOLD_APP_DIR}/brakenfold-split")
endif()
set(_fidelity_args --app "${_fidelity_app}" --corpus "${BRAKENFOLD_CORPUS_DIR}" --jobs 2
    --report "${CMAKE_BINARY_DIR}/FIDELITY-REPORT.txt")
if(NOT BRAKENFOLD_FIDELITY_STRICT)
  list(APPEND _fidelity_args --report-only)
endif()
add_test(NAME xls_fidelity
         COMMAND "${PYTHON_FOR_TESTS}" "${CMAKE_CURRENT_LIST_DIR}/fidelity.py" ${_fidelity_args})
# RUN_SERIAL: it keeps both cores busy with two LibreOffice processes. About a minute on an idle
# 2-core machine; seven minutes were seen while other builds ran, hence the generous TIMEOUT.
set_tests_properties(xls_fidelity PROPERTIES LABELS "fidelity" TIMEOUT 1200 RUN_SERIAL TRUE
                     ENVIRONMENT "${TEST_ENV}")
# ---- end of the fidelity block ----

# Workbooks of the kinds the engine once failed on, made by the test (xlwt, raw records, the
# office through python3-uno), split by the command-line tool and checked by xlrd and the office.
add_test(NAME xls_engine_cases
         COMMAND "${PYTHON_FOR_TESTS}" "${CMAKE_CURRENT_LIST_DIR}/engine_cases.py" --app "${_fidelity_app}")
set_tests_properties(xls_engine_cases PROPERTIES LABELS "xls" TIMEOUT 600 ENVIRONMENT "${TEST_ENV}")

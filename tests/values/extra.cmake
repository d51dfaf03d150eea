# Values in place of links (--values) over corpus and made workbooks of both formats, judged by
# xlrd, openpyxl and LibreOffice.
if(TARGET brakenfold-split)
  add_test(NAME values_in_place_of_links
           COMMAND "${PYTHON_FOR_TESTS}" "${CMAKE_CURRENT_LIST_DIR}/values.py"
                   --app "$<TARGET_FILE:brakenfold-split>" --corpus "${BRAKENFOLD_CORPUS_DIR}")
  scaled_timeout(_values_timeout 1200)
  set_tests_properties(values_in_place_of_links PROPERTIES LABELS "values" TIMEOUT ${_values_timeout}
                       ENVIRONMENT "${TEST_ENV}")
endif()

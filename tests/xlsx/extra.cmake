# The command-line driver the fidelity test runs.
add_executable(xlsx_split "${CMAKE_CURRENT_LIST_DIR}/tool/xlsx_split.cpp")
target_link_libraries(xlsx_split PRIVATE brakenfold_xlsx)

# Whole-corpus fidelity of the extraction, judged by openpyxl, LibreOffice and a structure check.
add_test(NAME xlsx_fidelity
         COMMAND "${PYTHON_FOR_TESTS}" "${CMAKE_CURRENT_LIST_DIR}/fidelity.py"
                 --app "$<TARGET_FILE:xlsx_split>" --corpus "${BRAKENFOLD_CORPUS_DIR}")
set_tests_properties(xlsx_fidelity PROPERTIES LABELS "fidelity" TIMEOUT 3600 RUN_SERIAL TRUE
                     ENVIRONMENT "${TEST_ENV}")

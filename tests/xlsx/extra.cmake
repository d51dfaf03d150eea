# Whole-corpus fidelity of the Open XML split through the command-line program, judged by
# openpyxl, LibreOffice and a structure check of each output package. In the plain build only:
# the sanitizer build meets every corpus package through the fuzz target's seeds.
if(NOT BRAKENFOLD_SANITIZE)
  add_test(NAME xlsx_fidelity
           COMMAND "${PYTHON_FOR_TESTS}" "${CMAKE_CURRENT_LIST_DIR}/fidelity.py"
                   --app "$<TARGET_FILE:brakenfold-split>" --corpus "${BRAKENFOLD_CORPUS_DIR}")
  set_tests_properties(xlsx_fidelity PROPERTIES LABELS "fidelity" TIMEOUT 3600 RUN_SERIAL TRUE
                       ENVIRONMENT "${TEST_ENV}")
endif()

# The scanner's table reads every fragment with libxml2 too.
find_package(PkgConfig REQUIRED)
pkg_check_modules(XML_FOR_TESTS REQUIRED IMPORTED_TARGET libxml-2.0)
target_link_libraries(test_xlsx PRIVATE PkgConfig::XML_FOR_TESTS)

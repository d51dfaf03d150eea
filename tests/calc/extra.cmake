# The Calc backend's tests: they drive a real office process, so they run in the plain build only
# (the office is not built with the sanitizers), and only when the backend itself was built.
# Sources live in calc/src/ so that the per-folder glob does not pick them up unconditionally.
if(TARGET brakenfold_calc AND NOT BRAKENFOLD_SANITIZE)
  file(GLOB calc_test_sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/calc/src/*.cpp")
  add_executable(test_calc ${calc_test_sources})
  # The contract suite of tests/automation/ is instantiated here for this backend.
  target_include_directories(test_calc PRIVATE "${CMAKE_CURRENT_SOURCE_DIR}" "${CMAKE_CURRENT_SOURCE_DIR}/automation")
  target_link_libraries(test_calc PRIVATE test_support brakenfold_calc)
  # Offices are heavy: the cases run in one process, and no other test runs beside them.
  add_test(NAME calc COMMAND test_calc)
  add_test(NAME calc.Plugin COMMAND sh "${CMAKE_CURRENT_SOURCE_DIR}/calc/plugin_check.sh" "${BRAKENFOLD_APP_DIR}"
           "${BRAKENFOLD_CORPUS_DIR}" "${PYTHON_FOR_TESTS}" "${CMAKE_CURRENT_SOURCE_DIR}/oracle/check_split.py")
  set_tests_properties(calc calc.Plugin PROPERTIES ENVIRONMENT "${TEST_ENV}" LABELS "calc" TIMEOUT 900 RUN_SERIAL TRUE)
endif()

# The whole program run in-process: it owns the application's start-up state, so it runs alone
# and in its own test program.
add_executable(test_ui_program "${CMAKE_CURRENT_LIST_DIR}/program/WholeProgramTest.cpp")
target_include_directories(test_ui_program PRIVATE "${CMAKE_CURRENT_LIST_DIR}")
target_link_libraries(test_ui_program PRIVATE test_support)
add_dependencies(test_ui_program brakenfold)
add_test(NAME ui.WholeProgram COMMAND test_ui_program)
set_tests_properties(ui.WholeProgram PROPERTIES ENVIRONMENT "${TEST_ENV}" LABELS "ui" RUN_SERIAL TRUE TIMEOUT 120)

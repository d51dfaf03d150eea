# The built program on a private X server, driven with keys and clicks and closed with its close
# box; Config.cfg must carry the changed option afterwards.
add_test(NAME ui.ProgramOptionsRun
         COMMAND ${PYTHON_FOR_TESTS} "${CMAKE_CURRENT_LIST_DIR}/program_options_test.py"
                 "${BRAKENFOLD_APP_DIR}" "${CMAKE_SOURCE_DIR}")
set_tests_properties(ui.ProgramOptionsRun PROPERTIES
  RUN_SERIAL TRUE TIMEOUT 120 LABELS "ui;program"
  ENVIRONMENT "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1;LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tools/lsan.supp:print_suppressions=0")

# Installed into a root-owned folder and run twice by a user who cannot write it: the option is
# kept in that user's own Config.cfg and read from there.
add_test(NAME ui.ProgramInstalledOptionsRun
         COMMAND ${PYTHON_FOR_TESTS} "${CMAKE_CURRENT_LIST_DIR}/program_options_test.py"
                 --installed "${CMAKE_BINARY_DIR}" "${CMAKE_SOURCE_DIR}")
set_tests_properties(ui.ProgramInstalledOptionsRun PROPERTIES
  RUN_SERIAL TRUE TIMEOUT 180 LABELS "ui;program"
  ENVIRONMENT "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1;LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tools/lsan.supp:print_suppressions=0")

# The same program with a workbook listed: the close box asks, No keeps it, Yes ends it cleanly.
add_test(NAME ui.ProgramExitQuestion
         COMMAND ${PYTHON_FOR_TESTS} "${CMAKE_CURRENT_LIST_DIR}/program_exit_test.py"
                 "${BRAKENFOLD_APP_DIR}" "${CMAKE_SOURCE_DIR}" "${BRAKENFOLD_CORPUS_DIR}")
set_tests_properties(ui.ProgramExitQuestion PROPERTIES
  RUN_SERIAL TRUE TIMEOUT 120 LABELS "ui;program"
  ENVIRONMENT "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1;LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tools/lsan.supp:print_suppressions=0")

# Two workbooks and a folder on the command line: their worksheets are listed once the window shows.
add_test(NAME ui.ProgramCommandLineFiles
         COMMAND ${PYTHON_FOR_TESTS} "${CMAKE_CURRENT_LIST_DIR}/program_command_line_test.py"
                 "${BRAKENFOLD_APP_DIR}" "${CMAKE_SOURCE_DIR}" "${BRAKENFOLD_CORPUS_DIR}")
set_tests_properties(ui.ProgramCommandLineFiles PROPERTIES
  RUN_SERIAL TRUE TIMEOUT 120 LABELS "ui;program"
  ENVIRONMENT "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1;LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tools/lsan.supp:print_suppressions=0")

# The main window's layout once more at 192 dpi (Qt scales it by two there).
add_test(NAME ui.MainWindowAt192Dpi
         COMMAND test_ui --gtest_filter=MainWindowLoad.BuildsTheStoredWindowMenusToolbarAndList)
set_tests_properties(ui.MainWindowAt192Dpi PROPERTIES ENVIRONMENT "${TEST_ENV};QT_FONT_DPI=192" LABELS "ui")

#!/usr/bin/env python3
"""The built program on a private X server: the user opens Options > Settings with the keyboard,
ticks "Display Excel Alerts" with the mouse, presses OK, and closes the main window with its close
box. The program must end cleanly with the new value, and nothing else changed, in Config.cfg.

Usage: program_options_test.py APP_DIR SOURCE_DIR
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xsession import Failure, Session  # noqa: E402

# Stored layout of the options dialog, in twips.
DIALOG_WIDTH = 5055
ALERTS_BOX = (480 + 480, 360 + 1200)
OK_BUTTON = (930 + 1095 // 2, 2895 + 375 // 2)


def main():
    app_dir, source_dir = sys.argv[1], sys.argv[2]
    with open(os.path.join(source_dir, "assets", "Config", "Config.cfg"), "rb") as f:
        shipped = f.read()[2:].decode("utf-16-le")
    if "DisplayExcelAlerts=0\r\n" not in shipped:
        raise Failure("the shipped configuration does not start with the alerts off")
    session = Session(app_dir, shipped)
    try:
        main_window = session.wait_window("Brakenfold")
        # A click on the list's empty space gives the window the keyboard, as on any desktop.
        client_scale = main_window.get_geometry().width / 7455
        session.click(main_window, int(2000 * client_scale), int(3800 * client_scale))
        session.key("o", modifiers=("Alt_L",))
        session.key("Return")
        dialog = session.wait_window("Options")
        scale = dialog.get_geometry().width / DIALOG_WIDTH
        session.click(dialog, int(ALERTS_BOX[0] * scale) + 8, int(ALERTS_BOX[1] * scale) + int(375 * scale / 2))
        session.click(dialog, int(OK_BUTTON[0] * scale), int(OK_BUTTON[1] * scale))
        session.wait_gone("Options")
        if session.config_text() != shipped:
            raise Failure("Config.cfg changed before the program ended")
        session.close_box(main_window)
        try:
            code = session.program.wait(timeout=30)
        except Exception:
            raise Failure("the program did not end after its close box was used")
        if code != 0:
            raise Failure("the program ended with status %d" % code)
        expected = shipped.replace("DisplayExcelAlerts=0\r\n", "DisplayExcelAlerts=1\r\n")
        written = session.config_text()
        if written != expected:
            raise Failure("Config.cfg after exit:\n%r\nexpected:\n%r" % (written, expected))
        print("option stored and written back at exit")
        print("1 passed, 0 failed")
    except Failure as failure:
        print("FAIL: %s" % failure)
        sys.exit(1)
    finally:
        session.close()


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""The built program on a private X server: the user opens Options > Settings with the keyboard,
ticks "Display Excel Alerts" with the mouse, presses OK, and closes the main window with its close
box. The program must end cleanly with the new value, and nothing else changed, in Config.cfg.

With --installed BUILD_DIR the program is installed (cmake --install) into a root-owned folder
and run twice by a user who cannot write it: the setting goes to that user's own Config.cfg under
$XDG_CONFIG_HOME, the second run reads it from there (its click turns the alerts off again), and
the installed file never changes.

Usage: program_options_test.py APP_DIR SOURCE_DIR
       program_options_test.py --installed BUILD_DIR SOURCE_DIR
"""
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xsession import Failure, Session  # noqa: E402

# Stored layout of the options dialog, in twips.
DIALOG_WIDTH = 5055
ALERTS_BOX = (480 + 480, 360 + 1200)
OK_BUTTON = (930 + 1095 // 2, 2895 + 375 // 2)
NOBODY = 65534


def read_config(path):
    with open(path, "rb") as f:
        return f.read()[2:].decode("utf-16-le")


def toggle_alerts_and_exit(session, config_before_exit):
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
    if config_before_exit() is not None:
        raise Failure("a configuration file changed before the program ended")
    session.close_box(main_window)
    session.wait_exit("its close box was used (a message box left open?)")


def run_copy(app_dir, shipped):
    session = Session(app_dir, shipped)
    try:
        toggle_alerts_and_exit(session, lambda: None if session.config_text() == shipped else "changed")
        expected = shipped.replace("DisplayExcelAlerts=0\r\n", "DisplayExcelAlerts=1\r\n")
        written = session.config_text()
        if written != expected:
            raise Failure("Config.cfg after exit:\n%r\nexpected:\n%r" % (written, expected))
    finally:
        session.close()
    print("option stored and written back at exit")


def run_installed(build_dir, shipped):
    work = tempfile.mkdtemp(prefix="brakenfold-installed-")
    try:
        os.chmod(work, 0o755)
        root = os.path.join(work, "root")
        subprocess.run(["cmake", "--install", build_dir, "--prefix", "/opt/brakenfold"], check=True,
                       stdout=subprocess.DEVNULL, env=dict(os.environ, DESTDIR=root))
        app = os.path.join(root, "opt", "brakenfold")
        home = os.path.join(work, "home")
        os.makedirs(home)
        os.chown(home, NOBODY, NOBODY)
        installed = os.path.join(app, "Config", "Config.cfg")
        user_file = os.path.join(home, ".config", "brakenfold", "Config.cfg")
        for alerts in ("1", "0"):
            session = Session(app, installed=True, home=home, uid=NOBODY)
            try:
                toggle_alerts_and_exit(session, lambda: None)
            finally:
                session.close()
            if read_config(installed) != shipped:
                raise Failure("the installed Config.cfg changed")
            if not os.path.isfile(user_file):
                raise Failure("no Config.cfg of the user's own under $XDG_CONFIG_HOME")
            expected = shipped.replace("DisplayExcelAlerts=0\r\n", "DisplayExcelAlerts=%s\r\n" % alerts)
            if read_config(user_file) != expected:
                raise Failure("the user's Config.cfg:\n%r\nexpected:\n%r" % (read_config(user_file), expected))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("option kept in the user's own Config.cfg and read from there at the next start")


def main():
    installed = sys.argv[1] == "--installed"
    target, source_dir = sys.argv[-2], sys.argv[-1]
    shipped = read_config(os.path.join(source_dir, "assets", "Config", "Config.cfg"))
    try:
        if "DisplayExcelAlerts=0\r\n" not in shipped:
            raise Failure("the shipped configuration does not start with the alerts off")
        (run_installed if installed else run_copy)(target, shipped)
        print("1 passed, 0 failed")
    except Failure as failure:
        print("FAIL: %s" % failure)
        sys.exit(1)


if __name__ == "__main__":
    main()

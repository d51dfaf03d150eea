#!/usr/bin/env python3
"""The built program on a private X server with a workbook in its list: the close box asks
"Do you really want to exit?", Enter (No, the default) keeps the program running, and Yes ends it
cleanly with Config.cfg written back.

Usage: program_exit_test.py APP_DIR SOURCE_DIR CORPUS_DIR
"""
import os
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xsession import Failure, Session  # noqa: E402


def main():
    app_dir, source_dir, corpus = sys.argv[1], sys.argv[2], sys.argv[3]
    with open(os.path.join(source_dir, "assets", "Config", "Config.cfg"), "rb") as f:
        shipped = f.read()[2:].decode("utf-16-le")
    folder = tempfile.mkdtemp(prefix="wb", dir="/tmp")
    os.symlink(os.path.join(corpus, "xls", "poi--simplewithcomments.xls"), os.path.join(folder, "book.xls"))
    session = Session(app_dir, shipped)
    try:
        main_window = session.wait_window("Brakenfold")
        scale = main_window.get_geometry().width / 7455
        session.click(main_window, int(2000 * scale), int(3800 * scale))
        session.key("f", modifiers=("Alt_L",))
        session.key("Down")
        session.key("Return")
        session.wait_window("Add all Excel files in the folder")
        session.key("a", modifiers=("Control_L",))
        session.type_text(folder)
        session.key("Return")
        session.wait_gone("Add all Excel files in the folder")
        time.sleep(1.0)

        session.close_box(main_window)
        question = session.wait_other_window("Brakenfold", main_window)
        session.key("Return")  # the default button: No
        time.sleep(1.0)
        if session.program.poll() is not None:
            raise Failure("the program ended although the exit question was answered No")
        if session.find_window("Brakenfold") is None:
            raise Failure("the main window went away after No")
        if any(w.id == question.id for w in session.find_windows("Brakenfold")):
            raise Failure("the question stayed open after Enter")

        session.close_box(main_window)
        session.wait_other_window("Brakenfold", main_window)
        session.key("y", modifiers=("Alt_L",))
        session.wait_exit("Yes")
        if session.config_text() != shipped:
            raise Failure("Config.cfg was not written back unchanged")
        print("No kept the program open; Yes ended it cleanly")
        print("1 passed, 0 failed")
    except Failure as failure:
        print("FAIL: %s" % failure)
        sys.exit(1)
    finally:
        session.close()
        os.unlink(os.path.join(folder, "book.xls"))
        os.rmdir(folder)


if __name__ == "__main__":
    main()

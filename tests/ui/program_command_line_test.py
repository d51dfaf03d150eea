#!/usr/bin/env python3
"""The built program started with two workbooks and a folder on its command line, as a file
manager starts it: once the window shows, their worksheets are listed, which a split of the list
proves: it writes one workbook per listed row. The folder's other files are not taken.

Usage: program_command_line_test.py APP_DIR SOURCE_DIR CORPUS_DIR
"""
import os
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xsession import Failure, Session  # noqa: E402

BOOKS = ("poi--57925.xls", "poi--27394.xls", "poi--simplewithcomments.xls")


def worksheet_count(app_dir, paths):
    listing = subprocess.run([os.path.join(app_dir, "brakenfold-split"), "--list"] + paths,
                             capture_output=True, text=True, check=True).stdout
    return len(listing.splitlines())


def main():
    app_dir, corpus = sys.argv[1], sys.argv[3]
    work = tempfile.mkdtemp(prefix="brakenfold-args-", dir="/tmp")
    books = [os.path.join(corpus, "xls", name) for name in BOOKS]
    folder, output = os.path.join(work, "folder"), os.path.join(work, "out")
    os.makedirs(folder)
    os.makedirs(output)
    os.symlink(books[2], os.path.join(folder, "third.xls"))
    with open(os.path.join(folder, "notes.txt"), "w") as f:
        f.write("not a workbook\n")
    expected = worksheet_count(app_dir, books)
    session = Session(app_dir, args=books[:2] + [folder])
    try:
        main_window = session.wait_window("Brakenfold")
        time.sleep(1.5)
        scale = main_window.get_geometry().width / 7455
        session.click(main_window, int(2000 * scale), int(3800 * scale))  # the window takes the keyboard
        session.key("a", modifiers=("Alt_L",))
        session.key("Return")
        session.wait_window("Please select output folder")
        session.key("a", modifiers=("Control_L",))
        session.type_text(output)
        session.key("Return")
        session.wait_other_window("Brakenfold", main_window, timeout=60)  # "Mission complete!"
        written = sum(len([n for n in names if n.endswith(".xls")]) for _, _, names in os.walk(output))
        if written != expected:
            raise Failure("the split wrote %d workbooks; the three books hold %d worksheets" % (written, expected))
        print("%d rows listed from the command line and split" % written)
        print("1 passed, 0 failed")
    except Failure as failure:
        print("FAIL: %s" % failure)
        sys.exit(1)
    finally:
        session.close()
        subprocess.run(["rm", "-rf", work])


if __name__ == "__main__":
    main()

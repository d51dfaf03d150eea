#!/usr/bin/env python3
"""Starts the built program from a private copy of its application folder on a private X server,
waits for its main window, closes it as the close box does (WM_DELETE_WINDOW), and checks that it
ended cleanly and wrote Config.cfg back.

Usage: app_start_test.py APP_DIR
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

from Xlib import X, display, protocol

TITLE_PREFIX = "Brakenfold"


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def start_xvfb(work):
    read_fd, write_fd = os.pipe()
    server = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
        pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, cwd=work)
    os.close(write_fd)
    number = b""
    with os.fdopen(read_fd, "rb") as pipe:
        while not number.endswith(b"\n"):
            chunk = pipe.read(1)
            if not chunk:
                break
            number += chunk
    if not number.strip():
        server.kill()
        fail("Xvfb did not start")
    return server, ":" + number.decode().strip()


def find_window(dpy, prefix, pid_hint=None):
    def walk(window):
        try:
            name = window.get_wm_name()
            attrs = window.get_attributes()
        except Exception:
            return None
        if isinstance(name, bytes):
            name = name.decode("utf-8", "replace")
        if name and name.startswith(prefix) and attrs.map_state == X.IsViewable:
            return window
        try:
            children = window.query_tree().children
        except Exception:
            return None
        for child in children:
            found = walk(child)
            if found is not None:
                return found
        return None
    return walk(dpy.screen().root)


def close_window(dpy, window):
    wm_protocols = dpy.intern_atom("WM_PROTOCOLS")
    wm_delete = dpy.intern_atom("WM_DELETE_WINDOW")
    event = protocol.event.ClientMessage(window=window, client_type=wm_protocols,
                                         data=(32, [wm_delete, X.CurrentTime, 0, 0, 0]))
    window.send_event(event)
    dpy.flush()


def main():
    app_dir = sys.argv[1]
    work = tempfile.mkdtemp(prefix="brakenfold-start-")
    server = None
    program = None
    try:
        app = os.path.join(work, "app")
        shutil.copytree(app_dir, app, symlinks=True)
        config = os.path.join(app, "Config", "Config.cfg")
        shutil.copyfile(os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                     "..", "..", "assets", "Config", "Config.cfg"), config)
        shipped = open(config, "rb").read()
        # An empty line and a repeated key: a write-back drops both, so a rewrite is visible.
        body = shipped[2:].decode("utf-16-le")
        first, rest = body.split("\r\n", 1)
        key = first.split("=", 1)[0]
        edited = first + "\r\n\r\n" + rest + key + "=" + first.split("=", 1)[1] + "\r\n"
        open(config, "wb").write(b"\xff\xfe" + edited.encode("utf-16-le"))

        runtime = os.path.join(work, "runtime")
        home = os.path.join(work, "home")
        os.makedirs(runtime, mode=0o700)
        os.makedirs(home)
        server, disp = start_xvfb(work)
        env = dict(os.environ, DISPLAY=disp, QT_QPA_PLATFORM="xcb", XDG_RUNTIME_DIR=runtime, HOME=home,
                   XDG_CONFIG_HOME=os.path.join(home, ".config"))
        program = subprocess.Popen([os.path.join(app, "brakenfold")], env=env, cwd=work)

        dpy = display.Display(disp)
        window = None
        deadline = time.time() + 30
        while window is None and time.time() < deadline:
            if program.poll() is not None:
                fail("the program ended before showing its window (exit %s)" % program.returncode)
            window = find_window(dpy, TITLE_PREFIX)
            if window is None:
                time.sleep(0.2)
        if window is None:
            fail("no window titled %s... appeared" % TITLE_PREFIX)
        name = window.get_wm_name()
        print("window shown: %r" % (name,))
        if os.listdir(runtime) == []:
            fail("the program holds no instance lock in its runtime folder")

        time.sleep(0.5)  # let the load finish before the user reaches the close box
        close_window(dpy, window)
        try:
            code = program.wait(timeout=30)
        except subprocess.TimeoutExpired:
            fail("the program did not end after its window was closed")
        if code != 0:
            fail("the program ended with status %d" % code)
        written = open(config, "rb").read()
        if written != shipped:
            fail("Config.cfg was not written back as expected:\n%r\n%r" % (written, shipped))
        print("closed cleanly; Config.cfg written back")
        print("1 passed, 0 failed")
    finally:
        if program is not None and program.poll() is None:
            program.kill()
        if server is not None:
            server.terminate()
            server.wait()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""The built program on a private X server, used as a user uses it: keys and clicks through XTEST,
the close box through WM_DELETE_WINDOW. A module (Session, for the README screenshot too) and the
program test, run as: xsession.py BUILD_DIR SOURCE_DIR CORPUS_DIR

Nothing waits for a fixed time. After each key or click the test waits until the program has
taken it in: its event loop answers a _NET_WM_PING (as a window manager sends one) only once it
has read every event sent before, so the test never runs ahead of the program. What the test
then checks (a window shown or gone, the program's end) is waited for until it holds. Each wait
has a deadline far beyond what a correct program needs on a slow machine, multiplied by
BRAKENFOLD_TEST_TIME_FACTOR (the sanitizer tree sets it)."""
import os, shutil, subprocess, sys, tempfile, time  # noqa: E401

from Xlib import X, XK, display, error, protocol
from Xlib.ext import xtest


class Failure(Exception):
    pass


TIME_FACTOR = float(os.environ.get("BRAKENFOLD_TEST_TIME_FACTOR", "1"))
DEADLINE = 120  # seconds, before the factor: for what takes well under one on an idle machine


def wait_for(what, test, timeout=DEADLINE):
    deadline = time.monotonic() + timeout * TIME_FACTOR
    while time.monotonic() < deadline:
        found = test()
        if found:
            return found
        time.sleep(0.05)
    raise Failure("%s (after %g s)" % (what, timeout * TIME_FACTOR))


class Session:
    """The program on a private X server with args: from a private copy of app_dir, or as user uid
    from app_dir itself (home then belongs to that user)."""
    started = []  # for the tests to close them all however they end

    def __init__(self, app_dir, args=(), home=None, uid=None):
        Session.started.append(self)
        self.work = tempfile.mkdtemp(prefix="brakenfold-ui-")
        os.chmod(self.work, 0o755)
        self.app = app_dir if uid is not None else shutil.copytree(app_dir, os.path.join(self.work, "app"), symlinks=True)
        runtime, home = os.path.join(self.work, "runtime"), home or os.path.join(self.work, "home")
        os.makedirs(runtime, mode=0o700)
        os.makedirs(home, exist_ok=True)
        # The desktop's opener as on a computer without a file manager or browser: it notes what it
        # is asked to open and says nothing opens it.
        opener_dir, self.opened = os.path.join(self.work, "bin"), os.path.join(self.work, "opened")
        os.makedirs(opener_dir)
        with open(os.path.join(opener_dir, "xdg-open"), "w") as f:
            f.write("#!/bin/sh\nprintf '%%s\\n' \"$1\" >> '%s'\nexit 3\n" % self.opened)
        os.chmod(os.path.join(opener_dir, "xdg-open"), 0o755)
        open(self.opened, "w").close()
        os.chmod(self.opened, 0o666)
        self.base = [os.path.join(self.app, "brakenfold")]
        if uid is not None:
            os.chown(runtime, uid, uid)
            self.base = ["setpriv", "--reuid=%d" % uid, "--regid=%d" % uid, "--clear-groups"] + self.base
        self.others = []
        read_fd, write_fd = os.pipe()
        self.server = subprocess.Popen(["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1280x1024x24", "-nolisten",
                                        "tcp"], pass_fds=(write_fd,), stderr=subprocess.DEVNULL, cwd=self.work)
        os.close(write_fd)
        with os.fdopen(read_fd) as pipe: self.display_name = ":" + pipe.readline().strip()  # noqa: E701
        self.env = dict(os.environ, DISPLAY=self.display_name, QT_QPA_PLATFORM="xcb", XDG_RUNTIME_DIR=runtime,
                        HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"), QT_SCALE_FACTOR="1",
                        PATH=opener_dir + os.pathsep + os.environ.get("PATH", ""))
        self.env.pop("QT_QPA_PLATFORMTHEME", None)
        self.dpy = display.Display(self.display_name)
        # The program's answers to pings go to the root window.
        self.dpy.screen().root.change_attributes(event_mask=X.StructureNotifyMask)
        self.atoms = {name: self.dpy.intern_atom(name) for name in ("WM_PROTOCOLS", "WM_DELETE_WINDOW", "_NET_WM_PING")}
        self.main = None  # the first window waited for: the one the pings go to
        self.program = subprocess.Popen(self.base + list(args), env=self.env, cwd=self.work)

    def start_again(self, args=()):
        """The program started once more by the same user on the same display, as Open With starts it."""
        self.others.append(subprocess.Popen(self.base + list(args), env=self.env, cwd=self.work))
        return self.others[-1]

    def close(self):
        for process in self.others + [self.program, self.server]:
            process.kill()
            process.wait()
        shutil.rmtree(self.work, ignore_errors=True)

    def wait_exit(self, after):
        try:
            code = self.program.wait(timeout=DEADLINE * TIME_FACTOR)
        except subprocess.TimeoutExpired:
            code = "none: it did not end"
        if code != 0:
            raise Failure("the program's exit status after %s: %s" % (after, code))

    def windows(self, title, window=None):
        window = window or self.dpy.screen().root
        try:
            name, attrs, children = window.get_wm_name(), window.get_attributes(), window.query_tree().children
        except Exception:
            return []
        name = name.decode("utf-8", "replace") if isinstance(name, bytes) else name
        found = [window] if name and name.startswith(title) and attrs.map_state == X.IsViewable else []
        return found + [w for child in children for w in self.windows(title, child)]

    def wait_window(self, title, other_than=None, timeout=DEADLINE):
        def found():
            if self.program.poll() is not None:
                raise Failure("the program ended (status %s) waiting for %r" % (self.program.returncode, title))
            return next((w for w in self.windows(title) if other_than is None or w.id != other_than.id), None)
        window = wait_for("no window titled %r appeared" % title, found, timeout)
        self.main = self.main or window
        self.settle()  # it has taken in its own showing before keys and clicks come
        return window

    def settle(self):
        """Returns once the program has read every event sent to it so far (or has ended)."""
        if self.main is None:
            return
        caught = error.CatchError(error.BadWindow)
        ping = protocol.event.ClientMessage(window=self.main, client_type=self.atoms["WM_PROTOCOLS"],
                                            data=(32, [self.atoms["_NET_WM_PING"], X.CurrentTime, self.main.id, 0, 0]))
        self.main.send_event(ping, onerror=caught)
        self.dpy.sync()
        if caught.get_error():
            return  # the window is gone: the program is ending

        def answered():
            if self.program.poll() is not None:
                return True
            while self.dpy.pending_events():
                event = self.dpy.next_event()
                if (event.type == X.ClientMessage and event.client_type == self.atoms["WM_PROTOCOLS"]
                        and event.data[1][0] == self.atoms["_NET_WM_PING"] and event.data[1][2] == self.main.id):
                    return True
            return False
        wait_for("the program did not handle its input", answered)

    def origin(self, window):
        pos = window.translate_coords(self.dpy.screen().root, 0, 0)
        return -pos.x, -pos.y

    def close_box(self, window):
        window.send_event(protocol.event.ClientMessage(window=window, client_type=self.atoms["WM_PROTOCOLS"],
                                                       data=(32, [self.atoms["WM_DELETE_WINDOW"], X.CurrentTime, 0, 0, 0])))
        self.settle()

    def click(self, window, x, y):
        ox, oy = self.origin(window)
        for kind, detail in ((X.MotionNotify, 0), (X.ButtonPress, 1), (X.ButtonRelease, 1)):
            xtest.fake_input(self.dpy, kind, detail, x=ox + x, y=oy + y)
            self.settle()

    def key(self, name, modifier=None):
        def code(key_name):
            keysym = XK.string_to_keysym(key_name)
            found = self.dpy.keysym_to_keycode(keysym)
            return found, self.dpy.keycode_to_keysym(found, 0) != keysym
        main, shifted = code(name)
        held = [code(m)[0] for m in [modifier] if m] + ([code("Shift_L")[0]] if shifted else [])
        for kind, c in [(X.KeyPress, c) for c in held + [main]] + [(X.KeyRelease, c) for c in reversed(held + [main])]:
            xtest.fake_input(self.dpy, kind, c)
        self.settle()

    def type_text(self, text):
        for ch in text:
            self.key({"/": "slash", ".": "period", "-": "minus", "_": "underscore"}.get(ch, ch))


# ---- the program test ----
def read_config(path):
    with open(path, "rb") as f:
        return f.read()[2:].decode("utf-16-le")


def main_window(session):
    """The main window, given the keyboard by a click on the list's empty space (twips 2000, 3800)."""
    window = session.wait_window("Brakenfold")
    scale = window.get_geometry().width / 7455
    session.click(window, int(2000 * scale), int(3800 * scale))
    return window


def tick_alerts(session):
    """Options > Settings with the keyboard, a click on "Display Excel Alerts", a click on OK."""
    session.key("o", "Alt_L")
    session.key("Return")
    dialog = session.wait_window("Options")
    scale = dialog.get_geometry().width / 5055  # the dialog's layout, in twips
    session.click(dialog, int(960 * scale) + 8, int(1747 * scale))
    session.click(dialog, int(1477 * scale), int(6202 * scale))  # OK, below the split options
    wait_for("the options dialog stayed open", lambda: not session.windows("Options"))


def split(session, window, output):
    """Action > Split, the output folder typed into the chooser, "Mission complete!" dismissed; then,
    as nothing opens folders here, the box that names the run folder, after the opener was asked."""
    session.key("a", "Alt_L")
    session.key("Return")
    session.wait_window("Please select output folder")
    session.key("a", "Control_L")
    session.type_text(output)
    session.key("Return")
    done = session.wait_window("Brakenfold", other_than=window)
    session.key("Return")
    wait_for("no box named the run folder nothing opened", lambda: next(
        (w for w in session.windows("Brakenfold") if w.id not in (window.id, done.id)), None))
    with open(session.opened) as f:
        if not any(line.startswith(output + os.sep) for line in f):
            raise Failure("the opener was not asked to show the run folder")
    session.key("Return")
    wait_for("the message stayed open", lambda: len(session.windows("Brakenfold")) == 1)


def program(build, shipped, corpus, work):
    """Installed into a root-owned folder, run by a user who cannot write it, with two workbooks and
    a folder on its command line: they are listed once the window shows, which a split proves (one
    workbook per worksheet, the folder's text file not taken). With rows left the close box asks:
    Enter (No, the real box's default) keeps the program, Alt+Y ends it cleanly, and only then is the
    ticked option written, to the user's own Config.cfg, the installed one left as it was."""
    home, app, books, output = (os.path.join(work, d) for d in ("home", "root/opt/brakenfold", "books", "out"))
    subprocess.run(["cmake", "--install", build, "--prefix", "/opt/brakenfold"], check=True,
                   stdout=subprocess.DEVNULL, env=dict(os.environ, DESTDIR=os.path.join(work, "root")))
    folder = os.path.join(books, "folder")
    for d in (home, output, folder):
        os.makedirs(d)
        os.chown(d, 65534, 65534)  # nobody
    paths = [shutil.copy(os.path.join(corpus, "xls", n), f) for n, f in (
        ("poi--57925.xls", books), ("poi--27394.xls", books), ("poi--simplewithcomments.xls", folder))]
    open(os.path.join(folder, "notes.txt"), "w").close()
    sheets = len(subprocess.run([os.path.join(app, "brakenfold-split"), "--list"] + paths, capture_output=True,
                                text=True, check=True).stdout.splitlines())
    mine = os.path.join(home, ".config", "brakenfold", "Config.cfg")
    session = Session(app, args=paths[:2] + [folder], home=home, uid=65534)
    window = main_window(session)  # its click is taken in after the command line's workbooks are listed
    split(session, window, output)
    main_window(session)
    tick_alerts(session)
    written = sum(len([n for n in names if n.endswith(".xls")]) for _, _, names in os.walk(output))
    if written != sheets:
        raise Failure("the split wrote %d workbooks; the three books hold %d worksheets" % (written, sheets))
    session.close_box(window)
    question = session.wait_window("Brakenfold", other_than=window)
    session.key("Return")  # the box's default button: No
    wait_for("after No the question stayed open", lambda: question.id not in [w.id for w in session.windows("Brakenfold")])
    session.settle()
    if session.program.poll() is not None or os.path.exists(mine):
        raise Failure("after No the program ended, or the option was written before it ended")
    session.close_box(window)
    session.wait_window("Brakenfold", other_than=window)
    session.key("y", "Alt_L")
    session.wait_exit("Yes")
    if read_config(os.path.join(app, "Config", "Config.cfg")) != shipped:
        raise Failure("the installed Config.cfg changed")
    if not os.path.isfile(mine) or read_config(mine) != shipped.replace("Alerts=0", "Alerts=1"):
        raise Failure("the user's own Config.cfg does not hold DisplayExcelAlerts=1")
    return "%d rows from the command line split; the option kept in the user's own Config.cfg" % written


def desktop_entry_key(source, key):
    with open(os.path.join(source, "packaging", "org.example.brakenfold.desktop"), encoding="utf-8") as f:
        return next((line.split("=", 1)[1].strip() for line in f if line.startswith(key + "=")), None)


def open_with_while_running(build, source, corpus, work):
    """The program runs with an empty list, under another window. Started again with a workbook and a
    folder (as Open With starts it), that start ends at once and the running window comes to the
    front. (What the window lists of handed-over paths is the window test's, what a start without
    files says the start-up test's.) The window's class is the desktop entry's StartupWMClass."""
    books = os.path.join(work, "books2")
    folder = os.path.join(books, "folder")
    os.makedirs(folder)
    book = shutil.copy(os.path.join(corpus, "xls", "poi--27394.xls"), books)
    session = Session(os.path.join(build, "app"))
    window = session.wait_window("Brakenfold")
    wm_class, startup_class = window.get_wm_class(), desktop_entry_key(source, "StartupWMClass")
    if not wm_class or wm_class[1] != startup_class:
        raise Failure("the window's class %r is not the desktop entry's StartupWMClass %r" % (wm_class, startup_class))
    root = session.dpy.screen().root
    cover = root.create_window(0, 0, 1280, 1024, 0, X.CopyFromParent)
    cover.map()
    session.dpy.sync()

    def on_top():
        order = [w.id for w in root.query_tree().children]
        return order.index(window.id) > order.index(cover.id)
    wait_for("the other window did not cover the program's", lambda: not on_top())
    second = session.start_again([book, folder])
    if second.wait(timeout=DEADLINE * TIME_FACTOR) != 0:
        raise Failure("the start with files ended with status %s" % second.returncode)
    wait_for("the running window did not come to the front", on_top)
    return "a second start's files handed over, the window brought to the front"


if __name__ == "__main__":
    build, source, corpus = sys.argv[1:4]
    work = tempfile.mkdtemp(prefix="brakenfold-test-", dir="/tmp")
    os.chmod(work, 0o755)
    shipped = read_config(os.path.join(source, "assets", "Config", "Config.cfg"))
    try:
        if "DisplayExcelAlerts=0\r\n" not in shipped:
            raise Failure("the shipped configuration does not start with the alerts off")
        print(program(build, shipped, corpus, work))
        print(open_with_while_running(build, source, corpus, work) + "\n2 passed, 0 failed")
    except Failure as failure:
        sys.exit("FAIL: %s" % failure)
    finally:
        for session in Session.started:
            session.close()
        shutil.rmtree(work, ignore_errors=True)

"""A private X server with the built program on it, driven as a user drives it: keys and mouse
clicks through the XTEST extension, the close box through WM_DELETE_WINDOW, screenshots of the
root window. Shared by the program run test and the README screenshot script."""
import os
import shutil
import struct
import subprocess
import tempfile
import time
import zlib

from Xlib import X, XK, display, protocol
from Xlib.ext import xtest


class Failure(Exception):
    pass


def start_xvfb(cwd, size="1280x1024x24"):
    read_fd, write_fd = os.pipe()
    server = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", size, "-nolisten", "tcp"],
        pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, cwd=cwd)
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
        raise Failure("Xvfb did not start")
    return server, ":" + number.decode().strip()


class Session:
    """The program started from a private copy of app_dir (or from app_dir itself when installed)
    on a private X server, with program arguments args, as user uid when given (home then
    belongs to that user)."""

    def __init__(self, app_dir, config_text=None, args=(), installed=False, home=None, uid=None):
        self.work = tempfile.mkdtemp(prefix="brakenfold-ui-")
        os.chmod(self.work, 0o755)
        self.server = None
        self.program = None
        self.app = app_dir if installed else os.path.join(self.work, "app")
        if not installed:
            shutil.copytree(app_dir, self.app, symlinks=True)
        self.config = os.path.join(self.app, "Config", "Config.cfg")
        if config_text is not None:
            with open(self.config, "wb") as f:
                f.write(b"\xff\xfe" + config_text.encode("utf-16-le"))
        runtime = os.path.join(self.work, "runtime")
        home = home or os.path.join(self.work, "home")
        os.makedirs(runtime, mode=0o700)
        os.makedirs(home, exist_ok=True)
        command = [os.path.join(self.app, "brakenfold")] + list(args)
        if uid is not None:
            os.chown(runtime, uid, uid)
            command = ["setpriv", "--reuid=%d" % uid, "--regid=%d" % uid, "--clear-groups"] + command
        self.server, self.display_name = start_xvfb(self.work)
        env = dict(os.environ, DISPLAY=self.display_name, QT_QPA_PLATFORM="xcb", XDG_RUNTIME_DIR=runtime,
                   HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"), QT_SCALE_FACTOR="1")
        env.pop("QT_QPA_PLATFORMTHEME", None)
        self.program = subprocess.Popen(command, env=env, cwd=self.work)
        self.dpy = display.Display(self.display_name)

    def close(self):
        if self.program is not None and self.program.poll() is None:
            self.program.kill()
            self.program.wait()
        if self.server is not None:
            self.server.terminate()
            self.server.wait()
        shutil.rmtree(self.work, ignore_errors=True)

    def wait_exit(self, after, timeout=30):
        """Waits for the program to end after the step named by after; it must end with status 0."""
        try:
            code = self.program.wait(timeout=timeout)
        except Exception:
            raise Failure("the program did not end after %s" % after)
        if code != 0:
            raise Failure("the program ended with status %d" % code)

    def config_text(self):
        with open(self.config, "rb") as f:
            data = f.read()
        return data[2:].decode("utf-16-le")

    # ---- windows ----
    def find_window(self, title):
        def walk(window):
            try:
                name = window.get_wm_name()
                attrs = window.get_attributes()
            except Exception:
                return None
            if isinstance(name, bytes):
                name = name.decode("utf-8", "replace")
            if name and name.startswith(title) and attrs.map_state == X.IsViewable:
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
        return walk(self.dpy.screen().root)

    def find_windows(self, title):
        found = []

        def walk(window):
            try:
                name = window.get_wm_name()
                attrs = window.get_attributes()
                children = window.query_tree().children
            except Exception:
                return
            if isinstance(name, bytes):
                name = name.decode("utf-8", "replace")
            if name and name.startswith(title) and attrs.map_state == X.IsViewable:
                found.append(window)
            for child in children:
                walk(child)
        walk(self.dpy.screen().root)
        return found

    def wait_other_window(self, title, known, timeout=15):
        """A window titled title other than known (a message box over the main window)."""
        deadline = time.time() + timeout
        while time.time() < deadline:
            for window in self.find_windows(title):
                if window.id != known.id:
                    time.sleep(0.4)
                    return window
            time.sleep(0.1)
        raise Failure("no second window titled %r appeared" % title)

    def wait_window(self, title, timeout=30):
        deadline = time.time() + timeout
        while time.time() < deadline:
            if self.program.poll() is not None:
                raise Failure("the program ended (status %s) while waiting for %r" % (self.program.returncode, title))
            window = self.find_window(title)
            if window is not None:
                time.sleep(0.4)  # let it finish painting and take the focus
                return window
            time.sleep(0.1)
        raise Failure("no window titled %r appeared" % title)

    def wait_gone(self, title, timeout=15):
        deadline = time.time() + timeout
        while time.time() < deadline:
            if self.find_window(title) is None:
                return
            time.sleep(0.1)
        raise Failure("the window %r stayed open" % title)

    def origin(self, window):
        pos = window.translate_coords(self.dpy.screen().root, 0, 0)
        return -pos.x, -pos.y

    def close_box(self, window):
        wm_protocols = self.dpy.intern_atom("WM_PROTOCOLS")
        wm_delete = self.dpy.intern_atom("WM_DELETE_WINDOW")
        event = protocol.event.ClientMessage(window=window, client_type=wm_protocols,
                                             data=(32, [wm_delete, X.CurrentTime, 0, 0, 0]))
        window.send_event(event)
        self.dpy.flush()

    # ---- input ----
    def click(self, window, x, y, button=1):
        ox, oy = self.origin(window)
        xtest.fake_input(self.dpy, X.MotionNotify, x=ox + x, y=oy + y)
        self.dpy.sync()
        time.sleep(0.1)
        xtest.fake_input(self.dpy, X.ButtonPress, button)
        self.dpy.sync()
        time.sleep(0.05)
        xtest.fake_input(self.dpy, X.ButtonRelease, button)
        self.dpy.sync()
        time.sleep(0.3)

    def _keycode(self, name):
        keysym = XK.string_to_keysym(name)
        code = self.dpy.keysym_to_keycode(keysym)
        if not code:
            raise Failure("no key for %r" % name)
        shifted = self.dpy.keycode_to_keysym(code, 0) != keysym
        return code, shifted

    def key(self, name, modifiers=()):
        codes = [self._keycode(m)[0] for m in modifiers]
        code, shifted = self._keycode(name)
        if shifted:
            codes.append(self._keycode("Shift_L")[0])
        for c in codes:
            xtest.fake_input(self.dpy, X.KeyPress, c)
        xtest.fake_input(self.dpy, X.KeyPress, code)
        xtest.fake_input(self.dpy, X.KeyRelease, code)
        for c in reversed(codes):
            xtest.fake_input(self.dpy, X.KeyRelease, c)
        self.dpy.sync()
        time.sleep(0.05)

    def type_text(self, text):
        names = {"/": "slash", ".": "period", "-": "minus", "_": "underscore", " ": "space", "~": "asciitilde"}
        for ch in text:
            self.key(names.get(ch, ch))

    # ---- screenshot ----
    def screenshot_png(self, path, window=None, margin=0):
        root = self.dpy.screen().root
        if window is not None:
            geo = window.get_geometry()
            ox, oy = self.origin(window)
            x, y, w, h = ox - margin, oy - margin, geo.width + 2 * margin, geo.height + 2 * margin
        else:
            geo = root.get_geometry()
            x, y, w, h = 0, 0, geo.width, geo.height
        image = root.get_image(max(x, 0), max(y, 0), w, h, X.ZPixmap, 0xFFFFFFFF)
        data = image.data
        rows = []
        stride = len(data) // h
        for row in range(h):
            line = data[row * stride: row * stride + w * 4]
            rgb = bytearray()
            for i in range(0, len(line), 4):
                b, g, r = line[i], line[i + 1], line[i + 2]
                rgb += bytes((r, g, b))
            rows.append(b"\x00" + bytes(rgb))
        raw = b"".join(rows)

        def chunk(kind, body):
            return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

        png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
        png += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
        with open(path, "wb") as f:
            f.write(png)

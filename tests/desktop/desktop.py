"""Drives the built program as its user does: on an X display of its own (Xvfb with openbox),
read through the accessibility bus (AT-SPI) and worked with the mouse and keys (xdotool).

A scenario calls start_session() once (one accessibility session per Python process); every
process started here ends when the scenario does. Where no X server can start, the scenario
is skipped (exit code SKIP) with a message saying why."""
import atexit
import glob
import json
import os
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time

SKIP = 77
HERE = os.path.dirname(os.path.abspath(__file__))
BINARY = os.environ.get("VELMORA_BINARY", os.path.join(HERE, "..", "..", "build", "velmora"))
TIMEOUT = 30  # seconds: generous, for a loaded machine; a wait that passes returns at once

_processes = []
_root = tempfile.mkdtemp(prefix="velmora-desktop-")
_atspi = None


def _end_all():
    for process in reversed(_processes):
        if process.poll() is None:
            os.killpg(process.pid, signal.SIGTERM)
            try:
                process.wait(5)
            except subprocess.TimeoutExpired:
                os.killpg(process.pid, signal.SIGKILL)
                process.wait()
    shutil.rmtree(_root, ignore_errors=True)


atexit.register(_end_all)
signal.signal(signal.SIGTERM, lambda *_: sys.exit("ended from outside"))


def spawn(args, **options):
    """Starts a process (in a group of its own) that ends with the scenario."""
    process = subprocess.Popen(args, start_new_session=True, **options)
    _processes.append(process)
    return process


def run(*args):
    return subprocess.run(args, check=True, capture_output=True, text=True).stdout


def skip(why):
    print("SKIPPED: " + why, flush=True)
    sys.exit(SKIP)


def wait_until(condition, what, timeout=TIMEOUT):
    """Polls `condition` (pumping accessibility events) until it returns something true."""
    from gi.repository import GLib
    end, error = time.monotonic() + timeout, ""
    while True:
        pump()
        try:
            value = condition()
        except GLib.Error as e:  # an object went away while it was read: ask again
            value, error = None, " (last: %s)" % e
        if value:
            return value
        if time.monotonic() > end:
            raise AssertionError("timed out waiting for " + what + error)
        time.sleep(0.05)


def start_session():
    """An X server on a free display, openbox on it, and a session bus that starts the
    accessibility bus on demand."""
    if not shutil.which("Xvfb"):
        skip("Xvfb is not installed: no X server can start")
    read, write = os.pipe()
    spawn(["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
          pass_fds=[write], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write)
    number = b""  # read to the line's end: Xvfb ends when it cannot write that
    while not number.endswith(b"\n") and select.select([read], [], [], TIMEOUT)[0]:
        chunk = os.read(read, 16)
        if not chunk:
            break
        number += chunk
    os.close(read)
    number = number.strip()
    if not number:
        skip("Xvfb could not start an X server")
    os.environ["DISPLAY"] = ":" + number.decode()
    bus = spawn(["dbus-daemon", "--session", "--nofork", "--print-address=1"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    os.environ["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().strip()
    spawn(["openbox"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wait_until(lambda: "window id" in run("xprop", "-root", "_NET_SUPPORTING_WM_CHECK"), "openbox")


def atspi():
    """pyatspi, imported once the session bus is there."""
    global _atspi
    if _atspi is None:
        import pyatspi
        from gi.repository import Atspi
        # Every answer comes from the program as it is now: a cache is kept fresh only by the
        # events that someone listens to.
        pyatspi.Registry.getDesktop(0).set_cache_mask(Atspi.Cache.NONE)
        _atspi = pyatspi
    return _atspi


def pump():
    from gi.repository import GLib
    while _atspi is not None and GLib.MainContext.default().iteration(False):
        pass


def app_folder(database=None):
    """A folder holding the program; `database` maps file names in Database to their text. Its
    browser only notes the pages it is given, in the file "opened"."""
    folder = tempfile.mkdtemp(dir=_root)
    try:  # the program keeps Database beside itself: it needs a copy of its own
        os.link(BINARY, os.path.join(folder, "velmora"))
    except OSError:
        shutil.copy(BINARY, folder)
    os.mkdir(os.path.join(folder, "bin"))
    with open(os.path.join(folder, "bin", "xdg-open"), "w") as f:
        f.write('#!/bin/sh\necho "$@" >>"%s/opened"\n' % folder)
    os.chmod(os.path.join(folder, "bin", "xdg-open"), 0o755)
    if database is not None:
        os.mkdir(os.path.join(folder, "Database"))
        for name, text in database.items():
            with open(os.path.join(folder, "Database", name), "wb") as f:
                f.write(text.encode() if isinstance(text, str) else text)
    return folder


def preferences(server="", username="", password="", xduplicates=False, popserver="", popusername="",
                poppassword=""):
    """The text of a Preferences file."""
    return "\n".join([server, username, password, str(xduplicates), popserver, popusername, poppassword]) + "\n"


class Program:
    """The program started in `folder` (see app_folder), as a user starts it."""

    def __init__(self, folder):
        self.folder = folder
        env = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_ACCESSIBILITY="1", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                   PATH=os.path.join(folder, "bin") + os.pathsep + os.environ["PATH"])
        with open(os.path.join(folder, "velmora.log"), "ab") as log:
            self.process = spawn([os.path.join(folder, "velmora")], cwd=folder, env=env, stdout=log,
                                 stderr=subprocess.STDOUT)

    def log(self):
        with open(os.path.join(self.folder, "velmora.log"), errors="replace") as f:
            return f.read()

    def accessible(self):
        """The program's root on the accessibility bus."""
        def find():
            desktop = atspi().Registry.getDesktop(0)
            for i in range(desktop.childCount):
                app = desktop.getChildAtIndex(i)
                if app is not None and app.get_process_id() == self.process.pid:
                    return app
            return None
        return wait_until(find, "the program on the accessibility bus")

    def window(self, name, timeout=TIMEOUT):
        """The program's showing window (or message box) named `name`."""
        def find():
            app = self.accessible()
            for i in range(app.childCount):
                w = app.getChildAtIndex(i)
                if w is not None and w.name == name and w.getState().contains(atspi().STATE_SHOWING):
                    return w
            return None
        return wait_until(find, "the window " + repr(name), timeout)

    def message(self, start):
        """The program's message box whose text begins with `start`."""
        def find():
            app = self.accessible()
            for i in range(app.childCount):
                w = app.getChildAtIndex(i)
                if w is not None and w.name.startswith(start) and w.getState().contains(atspi().STATE_SHOWING):
                    return w
            return None
        return wait_until(find, "the message " + repr(start))

    def exit_code(self, timeout=TIMEOUT):
        """The exit code once the program has ended; fails when it runs on."""
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError("the program still runs %g seconds on" % timeout) from None


def find(acc, role, name):
    """The first control of that role and name under acc; tables' cells are not walked."""
    if acc.getRoleName() == role and acc.name == name:
        return acc
    if acc.getRoleName() in ("table", "list", "tree table"):
        return None
    for i in range(acc.childCount):
        child = acc.getChildAtIndex(i)
        found = find(child, role, name) if child is not None else None
        if found is not None:
            return found
    return None


def gone(acc):
    """Whether a window or control no longer shows (or no longer exists)."""
    try:
        return not acc.getState().contains(atspi().STATE_SHOWING)
    except Exception:
        return True


def control(window, role, name):
    return wait_until(lambda: find(window, role, name), "the %s %r" % (role, name))


def centre(acc):
    x, y, width, height = acc.queryComponent().getExtents(atspi().DESKTOP_COORDS)
    return x + width // 2, y + height // 2


def mouse(*actions):
    """xdotool mouse commands, e.g. mouse("mousemove", "10", "20", "click", "1")."""
    run("xdotool", *actions)


def click(acc):
    x, y = centre(acc)
    mouse("mousemove", str(x), str(y), "click", "1")


def key(*keys):
    run("xdotool", "key", "--delay", "50", *keys)


def x_window(title):
    """The X window id of the window with this title."""
    return wait_until(lambda: run("xdotool", "search", "--name", "^%s$" % title).split(), "X window " + title)[0]


def x_property(window_id, name):
    """A property of an X window as xprop prints it."""
    return run("xprop", "-id", window_id, name)


def close_request(window_id):
    """Asks an X window to close, as a window manager or a task bar does (WM_DELETE_WINDOW)."""
    import ctypes
    x11 = ctypes.cdll.LoadLibrary("libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
    x11.XSync.argtypes = x11.XCloseDisplay.argtypes = [ctypes.c_void_p]

    class ClientMessage(ctypes.Structure):  # XClientMessageEvent, padded to the size of an XEvent
        _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                    ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                    ("format", ctypes.c_int), ("data", ctypes.c_long * 5), ("pad", ctypes.c_long * 24)]

    display = x11.XOpenDisplay(None)
    message = ClientMessage(type=33, window=int(window_id), format=32,  # 33: ClientMessage
                            message_type=x11.XInternAtom(display, b"WM_PROTOCOLS", 0))
    message.data[0] = x11.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
    x11.XSendEvent(display, int(window_id), 0, 0, ctypes.byref(message))
    x11.XSync(display, 0)
    x11.XCloseDisplay(display)


class SmtpServer:
    """An SMTP server on 127.0.0.1 (aiosmtpd; tests/loopback/smtp_server.py: STARTTLS, AUTH as
    alice / s3cret); `options` are that script's, such as "--refuse", "x@example.com"."""

    def __init__(self, *options):
        self.dir = tempfile.mkdtemp(dir=_root)
        script = os.path.join(HERE, "..", "loopback", "smtp_server.py")
        self.process = spawn([sys.executable, script, "--dir", self.dir, *options], stdin=subprocess.PIPE,
                             stdout=subprocess.PIPE, text=True)
        self.port = int(self.process.stdout.readline().split()[1])

    def messages(self):
        """Each accepted message as the server read it, in order of arrival."""
        paths = sorted(glob.glob(os.path.join(self.dir, "msg-*.json")), key=lambda p: int(p[:-5].split("-")[-1]))
        result = []
        for path in paths:
            with open(path, encoding="utf-8") as f:
                result.append(json.load(f))
        return result

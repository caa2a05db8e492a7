"""Drives the built program as its user does: on an X display of its own (Xvfb, openbox), read
over the accessibility bus (AT-SPI), worked with mouse and keys (xdotool). A scenario calls
start_session() once; what it starts ends with it. No X server: the scenario exits with SKIP."""
import atexit
import glob
import json
import os
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


def read(path):
    with open(path, encoding="utf-8", errors="replace") as f:
        return f.read()


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
    with os.fdopen(read) as pipe:  # read to the line's end: Xvfb ends when it cannot write that
        number = pipe.readline().strip()
    if not number:
        skip("Xvfb could not start an X server")
    os.environ["DISPLAY"] = ":" + number
    bus = spawn(["dbus-daemon", "--session", "--nofork", "--print-address=1"], stdout=subprocess.PIPE,
                stderr=subprocess.DEVNULL, text=True)
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
        return read(os.path.join(self.folder, "velmora.log"))

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

    def window(self, name, whole=True):
        """The program's showing window named `name`, or (whole=False) whose name begins with it:
        a message box is named by its text."""
        def find():
            app = self.accessible()
            windows = [app.getChildAtIndex(i) for i in range(app.childCount)]
            return next((w for w in windows if w is not None and (w.name == name or not whole and w.name.startswith(
                name)) and w.getState().contains(atspi().STATE_SHOWING)), None)
        return wait_until(find, "the window " + repr(name))

    def mail_everyone(self, sender):
        """Selects every address of the open list and sends them the message "Offer" (subject
        "News", body "Hello") from `sender` through the send window."""
        click(control(self.window("Velmora"), "table", "Addresses"))
        key("ctrl+a", "ctrl+s")  # Select All, Send eMail
        send = self.window("Send eMails...")
        for field, text in (("Name:", "Offer"), ("Subject:", "News"), ("Body:", "Hello")):
            click(control(send, "text", field))
            run("xdotool", "type", "--delay", "20", text)
        # xdotool types a letter missing from the keyboard map by remapping a key, which the
        # program may read too late: the sender is written in as assistive technology does.
        control(send, "text", "From:").queryEditableText().setTextContents(sender)
        click(control(send, "push button", "OK"))

    def exit_code(self, timeout=TIMEOUT):
        """The exit code once the program has ended; fails when it runs on."""
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError("the program still runs %g seconds on" % timeout) from None


def controls(acc, *roles):
    """The controls of those roles under acc, depth first; tables' cells are not walked."""
    if acc.getRoleName() in roles:
        yield acc
    if acc.getRoleName() in ("table", "list", "tree table"):
        return
    for i in range(acc.childCount):
        child = acc.getChildAtIndex(i)
        if child is not None:
            yield from controls(child, *roles)


def find(acc, role, name):
    """The first control of that role and name under acc."""
    return next((c for c in controls(acc, role) if c.name == name), None)


def gone(acc):
    """Whether a window or control no longer shows (or no longer exists)."""
    try:
        return not acc.getState().contains(atspi().STATE_SHOWING)
    except Exception:
        return True


def control(window, role, name):
    return wait_until(lambda: find(window, role, name), "the %s %r" % (role, name))


def extents(acc):
    return acc.queryComponent().getExtents(atspi().DESKTOP_COORDS)


def click(acc):
    x, y, width, height = extents(acc)
    run("xdotool", "mousemove", str(x + width // 2), str(y + height // 2), "click", "1")


def key(*keys):
    run("xdotool", "key", "--delay", "50", *keys)


def x_window(title):
    """The X window id of the window with this title."""
    return wait_until(lambda: run("xdotool", "search", "--name", "^%s$" % title).split(), "X window " + title)[0]


def close_request(window_id):
    """Asks an X window to close, as a window manager or a task bar does (WM_DELETE_WINDOW)."""
    import ctypes
    from ctypes import c_int, c_long, c_ulong, c_void_p
    x11 = ctypes.cdll.LoadLibrary("libX11.so.6")
    x11.XOpenDisplay.restype, x11.XInternAtom.restype = c_void_p, c_ulong

    class ClientMessage(ctypes.Structure):  # XClientMessageEvent, padded to the size of an XEvent
        _fields_ = [("type", c_int), ("serial", c_ulong), ("send_event", c_int), ("display", c_void_p),
                    ("window", c_ulong), ("message_type", c_ulong), ("format", c_int), ("data", c_long * 29)]

    display = c_void_p(x11.XOpenDisplay(None))
    message = ClientMessage(type=33, window=int(window_id), format=32,  # 33: ClientMessage
                            message_type=x11.XInternAtom(display, b"WM_PROTOCOLS", 0))
    message.data[0] = x11.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
    x11.XSendEvent(display, c_ulong(int(window_id)), 0, c_long(0), ctypes.byref(message))
    x11.XCloseDisplay(display)  # sends it


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
        """Each accepted message as the server read it (its fields: see smtp_server.py), in order."""
        paths = glob.glob(os.path.join(self.dir, "msg-*.json"))
        return [json.loads(read(p)) for p in sorted(paths, key=lambda p: int(p[:-5].split("-")[-1]))]

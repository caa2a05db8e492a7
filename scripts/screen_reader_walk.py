"""Drives Velmora by keyboard over AT-SPI and prints what a screen reader hears: focus
moves, window activations, name changes, and the tree of each window opened."""
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

HEARD = []


def describe(acc):
    try:
        return f"{acc.getRoleName()} {acc.name!r}"
    except Exception:
        return "<gone>"


def on_event(event):
    if event.type.startswith("object:state-changed:focused") and not event.detail1:
        return
    HEARD.append(f"{event.type.split(':')[-1] or event.type}: {describe(event.source)}")


pyatspi.Registry.registerEventListener(
    on_event, "object:state-changed:focused", "object:property-change:accessible-name",
    "object:children-changed:add", "window:activate")


def pump(seconds):
    end = time.time() + seconds
    context = GLib.MainContext.default()
    while time.time() < end:
        while context.iteration(False):
            pass
        time.sleep(0.02)


def key(*keys):
    print(">> " + " ".join(keys))
    subprocess.run(["xdotool", "key", "--delay", "100", *keys], check=True)
    pump(0.8)
    for line in HEARD:
        print("   heard " + line)
    HEARD.clear()


def type_text(text):
    print(">> type " + text)
    subprocess.run(["xdotool", "type", "--delay", "30", text], check=True)
    pump(0.3)
    HEARD.clear()


def program():
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.name == "velmora":
            return app
    return None


def dump(acc, depth=0):
    """Prints the showing part of the tree; long lists show their first rows only."""
    role, name = acc.getRoleName(), acc.name
    if depth > 1 and not acc.getState().contains(pyatspi.STATE_SHOWING):
        return
    extra = f" ({acc.description})" if acc.description else ""
    try:
        extra += f" value={acc.queryValue().currentValue:g}"
    except NotImplementedError:
        pass
    print("  " * depth + f"[{role}] {name[:70]!r}{extra}")
    count = acc.childCount if role not in ("list", "table") else min(acc.childCount, 8)
    for i in range(count):
        dump(acc.getChildAtIndex(i), depth + 1)


def window(title_start):
    app = program()
    for i in range(app.childCount):
        w = app.getChildAtIndex(i)
        if w.name.startswith(title_start):
            return w
    return None


def show(title_start):
    w = window(title_start)
    if w is None:
        print(f"!! no window {title_start!r}")
    else:
        dump(w)


for _ in range(60):
    if program() is not None and program().childCount >= 2:
        break
    time.sleep(0.5)
else:
    sys.exit("velmora did not appear on the accessibility bus")
pump(1.5)
print("== start-up")
show("About")
key("Return")  # Continue
show("Velmora")
print("== Addresses > New...")
key("ctrl+n")
show("Add New")
type_text("ann@example.com bob@example.org")
key("Return")
print("== select, Send eMail")
key("Home")
key("Down")
key("ctrl+a")
key("ctrl+s")
show("Send")
key("Escape")
print("== File > Preferences... from the keyboard")
key("alt+f")
key("Up")
key("Return")
show("Velmora Preferences")
key("Escape")
print("== the message log")
key("ctrl+shift+Right")
key("ctrl+shift+Right")
show("Velmora")
key("Tab")
key("Down")

"""Drives Velmora by keyboard over AT-SPI and prints what a screen reader hears: focus
moves, window activations, name changes, selected and checked states, and the tree of each
window opened. Usage: screen_reader_walk.py [build/velmora]"""
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "desktop"))
import desktop  # noqa: E402
from desktop import find  # noqa: E402

HEARD = []


def describe(acc):
    try:
        return f"{acc.getRoleName()} {acc.name!r}"
    except Exception:
        return "<gone>"


def on_event(event):
    kind = event.type.split(':')[-1] or event.type
    if kind == "focused" and not event.detail1:
        return
    if kind in ("selected", "checked"):
        kind += "" if event.detail1 else " off"
    HEARD.append(f"{kind}: {describe(event.source)}")


def pump(seconds):
    end = time.time() + seconds
    while time.time() < end:
        desktop.pump()
        time.sleep(0.02)


def key(*keys):
    if keys:
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
    app = VELMORA.accessible()
    for i in range(app.childCount):
        w = app.getChildAtIndex(i)
        if w.name.startswith(title_start):
            return w
    return None


def press(title_start, role, name):
    """Presses a control through its first action, as a screen reader's command does."""
    print(f">> press {role} {name!r}")
    find(window(title_start), role, name).queryAction().doAction(0)
    key()


def click(title_start, role, name):
    x, y, _, _ = find(window(title_start), role, name).queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    print(f">> click {role} {name!r}")
    subprocess.run(["xdotool", "mousemove", str(x + 20), str(y + 10), "click", "1"], check=True)
    key()


def pages_opened():
    try:
        with open(os.path.join(VELMORA.folder, "opened")) as f:
            pages = f.read().split()
    except FileNotFoundError:
        pages = []
    print(f"   browser opened {len(pages)} page(s): {sorted(set(pages))}")


def selection(title_start, name):
    table = find(window(title_start), "table", name)
    t = table.queryTable()
    rows = list(t.getSelectedRows())
    cells = [t.getAccessibleAt(r, 0) for r in range(t.nRows)]
    marked = [c.name for c in cells if c.getState().contains(pyatspi.STATE_SELECTED)]
    print(f"   {name}: {t.nSelectedRows} of {t.nRows} rows selected {rows}; cells read as selected {marked}")


def active():
    name = subprocess.run(["xdotool", "getactivewindow", "getwindowname"],
                          capture_output=True, text=True).stdout.strip()
    print(f"   active window: {name!r}")


def show(title_start):
    w = window(title_start)
    if w is None:
        print(f"!! no window {title_start!r}")
    else:
        dump(w)


if len(sys.argv) > 1:
    desktop.BINARY = os.path.abspath(sys.argv[1])
desktop.start_session()
pyatspi = desktop.atspi()
pyatspi.Registry.registerEventListener(
    on_event, "object:state-changed:focused", "object:state-changed:selected",
    "object:state-changed:checked", "object:property-change:accessible-name",
    "object:children-changed:add", "window:activate")
# Two lists for the side bar, Friends open.
VELMORA = desktop.Program(desktop.app_folder({
    "LastDatabase": "Friends", "Friends": "", "Clients": "b@example.net \nc@example.net \nd@example.net \n"}))
VELMORA.window("About Velmora")
pump(1.5)
print("== start-up")
show("About")
print("== the about window's links")
key("Tab")
key("Return")
key("Tab")
key("space")
press("About", "link", "https://www.example.com/harlock/")
pages_opened()
key("shift+Tab", "shift+Tab")
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
selection("Velmora", "Addresses")
key("ctrl+a")
selection("Velmora", "Addresses")
key("ctrl+s")
show("Send")
key("Escape")
print("== File > Preferences... from the keyboard")
key("alt+f")
key("Up")
key("Return")
show("Velmora Preferences")
key("Escape")
print("== the side bar by keyboard")
key("F6")
show("Lists")
key("Up")
key("Down")
key("Up")
key("Return")
active()
key("F6")
active()
print("== a bulk selection")
key("Home")
key("ctrl+a")
selection("Velmora", "Addresses")
print("== the side bar by mouse")
click("Lists", "push button", "Friends")
active()
selection("Velmora", "Addresses")
print("== the message log")
key("ctrl+shift+Right")
key("ctrl+shift+Right")
show("Velmora")
key("Tab")
key("Down")

"""Keys and menus as a user meets them: a modifier alone echoes nothing, an arrow does;
Ctrl+Shift+arrows move between the tabs, stopping at either end, and a plain arrow after them
stays on the tab; with the main window in front Close is enabled and Undo is not; Ctrl+A in
a POP field of the preferences selects the three SMTP fields only; the help, address-list
and about windows take File > Close, Addresses > New... and File > Quit chosen from their
own menu bar."""
import desktop as d


def enabled(acc):
    return acc.getState().contains(d.atspi().STATE_ENABLED)


def item(window, title, name):
    """Opens a menu of the window's own menu bar with the mouse: its item of that name, shown."""
    d.click(d.control(window, "menu item", title))
    found = d.control(window, "menu item", name)
    d.wait_until(lambda: not d.gone(found), "%s > %s shown" % (title, name))
    return found


def choose(window, title, name):
    found = item(window, title, name)
    d.wait_until(lambda: enabled(found), "%s > %s enabled" % (title, name))
    d.click(found)


def selections(window):
    """Each text field's selection, as (start, end), or None."""
    return [f.queryText().getNSelections() and f.queryText().getSelection(0) or None
            for f in d.controls(window, "text", "password text")]


d.start_session()
velmora = d.Program(d.app_folder({"Preferences": d.preferences("smtp.example.org", "me", "pw", False,
                                                               "pop.example.org", "popme", "poppw")}))
d.click(d.control(velmora.window("About Velmora"), "push button", "Continue"))
main = velmora.window("Velmora")
d.click(d.control(main, "table", "Addresses"))
log = d.control(main, "list", "Message log")
echoes = lambda: [log.getChildAtIndex(i).name.split(" = ")[-1] for i in range(log.childCount)]
d.key("shift")
for n, (keys, tab) in enumerate((("Right", "Addresses"), ("ctrl+shift+Right", "Queue"), ("Right", "Queue"),
                                 ("ctrl+shift+Right", "User Messages"), ("Left", "User Messages"),
                                 ("ctrl+shift+Right", "User Messages"), ("ctrl+shift+Left", "Queue"),
                                 ("Left", "Queue")), 1):
    d.key(keys)
    d.wait_until(lambda: len(echoes()) >= n, keys + " echoed")
    assert d.find(main, "page tab list", tab), (keys, tab)  # the tabs are named after the tab shown
assert echoes() == ["28", "28", "29", "28", "29", "29", "29", "29"], echoes()

for title, name, on in (("File", "Close", True), ("Edit", "Undo", False)):
    shown = item(main, title, name)
    assert enabled(shown) == on, name
    d.key("Escape")
    d.wait_until(lambda: d.gone(shown), "the menu closed")
choose(main, "File", "Preferences...")
preferences = velmora.window("Velmora Preferences")
d.click(d.control(preferences, "page tab", "POP Settings"))
d.click(d.control(preferences, "text", "POP Server:"))
d.key("ctrl+a")
d.wait_until(lambda: selections(preferences)[0], "the SMTP server's text selected")
assert selections(preferences) == [(0, 16), (0, 2), (0, 2), None, None, None], selections(preferences)

choose(main, "Help", "Velmora Help...")
help_window = velmora.window("Help!")
choose(help_window, "File", "Close")
d.wait_until(lambda: d.gone(help_window), "the help window closed")

choose(main, "Addresses", "Bulk Remove...")
d.click(d.control(velmora.window("Drag and drop", whole=False), "push button", "OK"))
bulk = velmora.window("Bulk Remove...")
choose(bulk, "Addresses", "New...")
velmora.window("Add New eMail Address...")
d.run("xdotool", "type", "new@example.com")
d.key("Return")
d.wait_until(lambda: d.control(bulk, "table", "Addresses").queryTable().nRows == 1, "the address listed")
assert d.control(main, "table", "Addresses").queryTable().nRows == 0

choose(main, "Help", "About Velmora...")
choose(velmora.window("About Velmora"), "File", "Quit")
assert velmora.exit_code() == 0

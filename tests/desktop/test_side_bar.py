"""The list side bar: a switch refused (the save of the open list cancelled, "Keep Open"
chosen) marks no other list; scrolled, the side bar opens the list clicked and stays where it
was scrolled. F6 takes the keyboard there and back, the arrows and Return open a list, and
so does assistive technology's press. A new list joins it, a removed one leaves it."""
import os

import desktop as d


def last_opened():
    return d.read(os.path.join(folder, "Database", "LastDatabase"))


def checked(name):
    return d.control(bar, "push button", name).getState().contains(d.atspi().STATE_CHECKED)


def active(window):
    return window.getState().contains(d.atspi().STATE_ACTIVE)


def focused(name):
    return d.control(bar, "push button", name).getState().contains(d.atspi().STATE_FOCUSED)


def leave_unsaved_list_for(name, choice):
    d.click(d.control(bar, "push button", name))
    velmora.window("Select a name for your new email address file...")
    d.key("Escape")
    question = velmora.window("1 addresses in this list have not been saved.", whole=False)
    d.click(d.control(question, "push button", choice))
    d.wait_until(lambda: d.gone(question), "the question answered")


d.start_session()
folder = d.app_folder({"L%02d" % i: "" for i in range(1, 21)})
velmora = d.Program(folder)
d.click(d.control(velmora.window("About Velmora"), "push button", "Continue"))
main, bar = velmora.window("Velmora"), velmora.window("Lists")

# No list is open: an address typed in goes into a list without a file.
d.key("ctrl+n")
velmora.window("Add New eMail Address...")
d.run("xdotool", "type", "new@example.com")
d.key("Return")
leave_unsaved_list_for("L07", "Keep Open")
assert not checked("L07")
leave_unsaved_list_for("L07", "Discard")
d.wait_until(lambda: checked("L07"), "L07 marked")

scroll = d.control(bar, "scroll bar", "Lists")
x, y, width, height = d.extents(scroll)
for _ in range(3):  # the arrow at the scroll bar's foot
    d.run("xdotool", "mousemove", str(x + width // 2), str(y + height - width // 2), "click", "1")
d.wait_until(lambda: scroll.queryValue().currentValue == 3, "the side bar scrolled 3 steps down")
d.click(d.control(main, "table", "Addresses"))
d.click(d.control(bar, "push button", "L05"))
d.wait_until(lambda: last_opened() != "L07", "another list opened")
assert (last_opened(), scroll.queryValue().currentValue) == ("L05", 3)

# The keyboard: F6 goes to the side bar's open list, Up moves, Return opens, F6 goes back.
d.click(d.control(main, "table", "Addresses"))
d.wait_until(lambda: active(main), "the main window in front")
d.key("F6")
d.wait_until(lambda: focused("L05"), "the open list's button focused")
d.key("Up", "Return")
d.wait_until(lambda: last_opened() == "L04", "L04 opened from the keyboard")
d.key("F6")
d.wait_until(lambda: active(main), "the main window in front again")
d.control(bar, "push button", "L09").queryAction().doAction(0)  # as assistive technology presses it
d.wait_until(lambda: last_opened() == "L09", "L09 opened by its press action")

# A program file's name is refused; a new list takes the first free name of its series (L05
# is taken: L05.1), once though OK is pressed twice, opens and joins the side bar. Removed,
# the open list leaves it.
d.key("ctrl+shift+n")
dialog = velmora.window("Mailing List")
d.run("xdotool", "type", "Preferences")
d.key("Return")
d.click(d.control(velmora.window('"Preferences"', whole=False), "push button", "OK"))
d.key("ctrl+a")
d.run("xdotool", "type", "L05")
d.key("Return", "Return")
d.wait_until(lambda: d.find(bar, "push button", "L05.1") and checked("L05.1"), "L05.1 made, opened and marked")
assert not {"Preferences", "L05.2"} & set(os.listdir(os.path.join(folder, "Database")))
d.click(d.control(main, "menu item", "Mailing Lists"))
remove = d.control(main, "menu item", "Remove Mailing List")
d.wait_until(lambda: not d.gone(remove), "the menu open")
d.click(remove)
d.wait_until(lambda: not d.find(bar, "push button", "L05.1"), "L05.1 gone from the side bar")
assert not os.path.exists(os.path.join(folder, "Database", "L05.1"))

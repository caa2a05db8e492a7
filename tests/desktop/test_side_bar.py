"""The list side bar: a switch refused (the save of the open list cancelled, "Keep Open"
chosen) marks no other list; scrolled, the side bar opens the list clicked and stays where
it was scrolled."""
import os

import desktop as d


def last_opened():
    return d.read(os.path.join(folder, "Database", "LastDatabase"))


def checked(name):
    return d.control(bar, "push button", name).getState().contains(d.atspi().STATE_CHECKED)


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

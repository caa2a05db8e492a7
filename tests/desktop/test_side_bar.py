"""The list side bar: scrolled, it opens the list clicked and stays where it was scrolled."""
import os

import desktop as d


def last_opened():
    with open(os.path.join(folder, "Database", "LastDatabase")) as f:
        return f.read()


d.start_session()
folder = d.app_folder(dict({"L%02d" % i: "" for i in range(1, 21)}, LastDatabase="L07"))
velmora = d.Program(folder)
d.click(d.control(velmora.window("About Velmora"), "push button", "Continue"))
main, bar = velmora.window("Velmora"), velmora.window("Lists")
scroll = d.control(bar, "scroll bar", "Lists")
x, y, width, height = scroll.queryComponent().getExtents(d.atspi().DESKTOP_COORDS)
for _ in range(3):  # the arrow at the scroll bar's foot
    d.mouse("mousemove", str(x + width // 2), str(y + height - width // 2), "click", "1")
d.wait_until(lambda: scroll.queryValue().currentValue == 3, "the side bar scrolled 3 steps down")
d.click(d.control(main, "table", "Addresses"))
d.click(d.control(bar, "push button", "L05"))
d.wait_until(lambda: last_opened() != "L07", "another list opened")
assert (last_opened(), scroll.queryValue().currentValue) == ("L05", 3)

"""The about window: the window manager offers no close, minimise or maximise for it, a close
asked for from outside or Escape leaves it open, each link opens the maker's page (clicked,
from the keyboard, through assistive technology) and leaves it open, and Continue (Return) is
its way out to the main window."""
import os

import desktop as d

PAGE = "https://www.example.com/harlock/"
d.start_session()
folder = d.app_folder({})
velmora = d.Program(folder)
about = velmora.window("About Velmora")
window_id = d.x_window("About Velmora")
allowed = d.run("xprop", "-id", window_id, "_NET_WM_ALLOWED_ACTIONS")
assert not [a for a in ("CLOSE", "MINIMIZE", "MAXIMIZE") if "_NET_WM_ACTION_" + a in allowed], allowed

d.click(d.control(about, "link", "Development"))  # the keyboard stays on Continue
d.close_request(window_id)
d.key("Escape", "Tab")  # after the close request: once the focus has moved, all were handled
harlock = d.control(about, "link", "Harlock")
d.wait_until(lambda: harlock.getState().contains(d.atspi().STATE_FOCUSED), "the focus on the first link")
d.key("Return", "Tab", "space")
d.control(about, "link", PAGE).queryAction().doAction(0)
opened = os.path.join(folder, "opened")
d.wait_until(lambda: os.path.exists(opened) and d.read(opened).split() == [PAGE] * 4, "the page opened 4 times")
assert not d.gone(about)

d.key("shift+Tab", "shift+Tab", "Return")  # Continue
d.wait_until(lambda: d.gone(about), "the about window closed by Continue")
velmora.window("Velmora")

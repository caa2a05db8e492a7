"""The about window: the window manager offers no close, minimise or maximise for it, a close
asked for from outside or Escape leaves it open, and Continue (Return) is its way out to the
main window."""
import desktop as d

d.start_session()
velmora = d.Program(d.app_folder({}))
about = velmora.window("About Velmora")
window_id = d.x_window("About Velmora")
allowed = d.run("xprop", "-id", window_id, "_NET_WM_ALLOWED_ACTIONS")
assert not [a for a in ("CLOSE", "MINIMIZE", "MAXIMIZE") if "_NET_WM_ACTION_" + a in allowed], allowed

d.close_request(window_id)
d.key("Escape", "Tab")  # after the close request: once the focus has moved, all were handled
harlock = d.control(about, "link", "Harlock")
d.wait_until(lambda: harlock.getState().contains(d.atspi().STATE_FOCUSED), "the focus on the first link")
assert not d.gone(about)

d.key("shift+Tab", "Return")  # Continue
d.wait_until(lambda: d.gone(about), "the about window closed by Continue")
velmora.window("Velmora")

"""A start-up that cannot go on says why (a box with one button, OK) and, once its message is
answered, ends the program with a failure exit code, touching nothing: a Database that
cannot be written, one that is no folder, one that another copy of the program uses."""
import os

import desktop as d


def answered_then_ended(velmora, message):
    box = velmora.window(message, whole=False)
    assert [button.name for button in d.controls(box, "push button")] == ["OK"]
    d.click(d.control(box, "push button", "OK"))
    assert velmora.exit_code(timeout=5) == 1, velmora.log()


d.start_session()

folder = d.app_folder()
os.symlink("/proc/self", os.path.join(folder, "Database"))  # a folder nobody may write to, root included
answered_then_ended(d.Program(folder), "Permissions on this volume are not set to writeable")

folder = d.app_folder()
open(os.path.join(folder, "Database"), "w").close()
answered_then_ended(d.Program(folder), "The 'Database' item beside Velmora is not a folder")

# The lock is the first copy's as long as it runs; the second copy leaves even what an
# interrupted save left, which the next copy to start removes.
folder = d.app_folder({"LastDatabase": "Customers", "Customers": ""})
first = d.Program(folder)
d.click(d.control(first.window("About Velmora"), "push button", "Continue"))
stale = os.path.join(folder, "Database", ".Customers.velmora-save-1x.tmp")
open(stale, "w").close()
answered_then_ended(d.Program(folder), "Another copy of Velmora is using the 'Database' folder.")
assert os.path.exists(stale)
d.click(d.control(first.window("Velmora"), "table", "Addresses"))
d.key("ctrl+q")
assert first.exit_code() == 0
d.Program(folder).window("About Velmora")
assert (os.path.exists(stale), d.read(os.path.join(folder, "Database", "LastDatabase"))) == (False, "Customers")

"""A start-up that cannot go on says why, and once its message is answered the program ends
with a failure exit code: a Database that cannot be written, one that is no folder, one that
another copy of the program uses."""
import os

import desktop as d


def answered_then_ended(velmora, message):
    d.click(d.control(velmora.message(message), "push button", "OK"))
    assert velmora.exit_code(timeout=5) == 1, velmora.log()


d.start_session()

folder = d.app_folder()
os.symlink("/proc/self", os.path.join(folder, "Database"))  # a folder nobody may write to, root included
answered_then_ended(d.Program(folder), "Permissions on this volume are not set to writeable")

folder = d.app_folder()
open(os.path.join(folder, "Database"), "w").close()
answered_then_ended(d.Program(folder), "The 'Database' item beside Velmora is not a folder")

folder = d.app_folder({})
first = d.Program(folder)
first.window("About Velmora")
answered_then_ended(d.Program(folder), "Another copy of Velmora is using the 'Database' folder.")
assert first.process.poll() is None

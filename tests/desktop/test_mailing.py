"""A mailing as its user starts it: every address selected, the first two opted out or black
listed, Send eMail, a message composed with a sender that has a display name, OK. The SMTP
server (aiosmtpd on 127.0.0.1) takes each message but theirs, with the bare address as
envelope sender and the display name in the From header, and each row shows its history
entry. Killed in the middle (SIGKILL) and started again, the program shows the entry on the
rows whose message the server took, on no other."""
import os
import signal

import desktop as d

SENDER = "Café Team <news@example.org>"


def started():
    velmora = d.Program(folder)
    d.click(d.control(velmora.window("About Velmora"), "push button", "Continue"))
    return velmora, d.control(velmora.window("Velmora"), "table", "Addresses")


def mailed(table):
    """The addresses whose row shows this mailing's entry."""
    cells = table.queryTable()
    return {cells.getAccessibleAt(row, 0).name for row in range(cells.nRows)
            if cells.getAccessibleAt(row, 1).name.startswith("Offer(")}


d.start_session()
server = d.SmtpServer()
addresses = {"member%d@example.org" % i for i in range(10)}
members = "out@example.org Opted Out\nno@example.org Black Listed\n" + "".join(a + " \n" for a in sorted(addresses))
folder = d.app_folder({"Preferences": d.preferences("127.0.0.1:%d" % server.port, "alice", "s3cret"),
                       "Members": members, "LastDatabase": "Members"})
velmora, table = started()
velmora.mail_everyone(SENDER)

# One message a second: the kill comes once four rows show their entry, before the last.
shown = d.wait_until(lambda: len(mailed(table)) >= 4 and mailed(table), "four rows mailed", timeout=60)
os.kill(velmora.process.pid, signal.SIGKILL)
velmora.process.wait()
messages = server.messages()
assert {(m["mail_from"], m["from"]) for m in messages} == {("news@example.org", SENDER)}, messages
taken = {m["rcpt_tos"][0] for m in messages}
assert len(taken) == len(messages) < len(addresses) and taken <= addresses, messages

velmora, table = started()
kept = mailed(table)
# The server may have taken one more message than the program lived to hear of.
assert shown <= kept <= taken and len(taken - kept) <= 1, (shown, kept, taken)

"""Mail that does not go: a wrong password, then no server listening, each reported in the
message log with nothing sent. Put right in the preferences, a server that refuses one
recipient and drops the connection after its third message (aiosmtpd on 127.0.0.1) gets
every other message once, the one cut off on the next connection; the refused one leaves the
queue with the server's reply in the log and no history entry."""
import re
import socket

import desktop as d


def log():
    """The message log's rows, newest first, joined by line ends."""
    rows = d.control(main, "list", "Message log")
    return "\n".join(rows.getChildAtIndex(i).name for i in range(rows.childCount))


def logged(*texts):
    """Whether rows with these texts stand in the log one after the other, newest first."""
    return re.search("\n".join("[^\n]* " + re.escape(t) for t in texts), log())


def set_smtp(server, password):
    d.click(d.control(main, "menu item", "File"))
    d.click(d.control(main, "menu item", "Preferences..."))
    preferences = velmora.window("Velmora Preferences")
    d.click(d.control(preferences, "page tab", "SMTP Settings"))
    d.control(preferences, "text", "SMTP Server:").queryEditableText().setTextContents(server)
    d.control(preferences, "password text", "Password:").queryEditableText().setTextContents(password)
    d.click(d.control(preferences, "push button", "OK"))
    d.wait_until(lambda: d.gone(preferences), "the preferences stored")


d.start_session()
server = d.SmtpServer("--refuse", "bad@example.org", "--drop-after", "3")
listening = "127.0.0.1:%d" % server.port
with socket.socket() as unused:
    unused.bind(("127.0.0.1", 0))
    nobody = "127.0.0.1:%d" % unused.getsockname()[1]
addresses = ["p1@example.org", "bad@example.org", "p2@example.org", "p3@example.org", "p4@example.org"]
velmora = d.Program(d.app_folder({"Preferences": d.preferences(listening, "alice", "wrong"),
                                  "Members": "".join(a + " \n" for a in addresses), "LastDatabase": "Members"}))
d.click(d.control(velmora.window("About Velmora"), "push button", "Continue"))
main = velmora.window("Velmora")
d.control(main, "slider", "Messages at a time").queryValue().currentValue = 5
velmora.mail_everyone("news@example.org")
d.wait_until(lambda: logged("Check your SMTP username and password.", "SMTP Socket Error = 106", "Error 106"),
             "the password refused")
set_smtp(nobody, "wrong")
d.wait_until(lambda: logged("Error sending mail.  Please check your connection to the internet.", "Error 103"),
             "no server reached")
assert not server.messages()

set_smtp(listening, "s3cret")
queue = d.control(main, "table", "Send queue").queryTable()
d.wait_until(lambda: queue.nRows == 0, "the queue emptied", timeout=60)
assert sorted(m["rcpt_tos"][0] for m in server.messages()) == sorted(set(addresses) - {"bad@example.org"})
assert logged("Error 102", "Message sent to p3@example.org = News"), log()  # the drop, and p4 sent after
assert log().count("Message to bad@example.org refused: 550 5.1.1 <bad@example.org>: Recipient address "
                   "rejected") == 1, log()
cells = d.control(main, "table", "Addresses").queryTable()
assert [cells.getAccessibleAt(r, 1).name.startswith("Offer(") for r in range(5)] == [True, False, True, True, True]

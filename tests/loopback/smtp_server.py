#!/usr/bin/env python3
"""A throw-away SMTP server (aiosmtpd) on 127.0.0.1 that requires STARTTLS (--mode implicit:
TLS from the first byte; certificate in --dir/cert.pem) and AUTH as alice / s3cret. Prints
"PORT <n>", writes each accepted message as Python's email reads it to --dir/msg-<n>.json, and
stops when its input closes. --refuse ADDRESS: 550 to RCPT TO; --drop-after N: reset after
the N-th message."""
import argparse
import asyncio
import email
import email.policy
import json
import logging
import os
import ssl
import subprocess
import sys
import threading
import warnings

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


class Handler:
    def __init__(self, args):
        self.args = args
        self.count = 0

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address == self.args.refuse:
            return "550 5.1.1 <%s>: Recipient address rejected" % address
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        msg = email.message_from_bytes(envelope.original_content, policy=email.policy.default)

        def body(kind):  # as a mail program shows it: LF line ends, no final line end
            part = msg.get_body(preferencelist=(kind,))
            ok = part is not None and part.get_content_type() == "text/" + kind
            return part.get_content().replace("\r\n", "\n").rstrip("\n") if ok else ""

        record = {"mail_from": envelope.mail_from, "rcpt_tos": envelope.rcpt_tos, "from": str(msg["from"]),
                  "subject": str(msg["subject"]), "plain": body("plain"), "html": body("html")}
        path = os.path.join(self.args.dir, "msg-%d.json" % self.count)
        with open(path + ".tmp", "w", encoding="utf-8") as f:
            json.dump(record, f)
        os.replace(path + ".tmp", path)
        if self.count == self.args.drop_after:
            # After the reply has gone out: the connection ends without a sign-off.
            asyncio.get_running_loop().call_soon(server.transport.abort)
        return "250 Message accepted"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dir", required=True)
    parser.add_argument("--mode", choices=["starttls", "implicit"], default="starttls")
    parser.add_argument("--refuse", default="")
    parser.add_argument("--drop-after", type=int, default=0)
    args = parser.parse_args()
    # A client that rightly drops an untrusted handshake is no news here.
    logging.getLogger("mail.log").setLevel(logging.CRITICAL)
    warnings.simplefilter("ignore")

    cert, key = os.path.join(args.dir, "cert.pem"), os.path.join(args.dir, "key.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-keyout", key,
                    "-out", cert, "-subj", "/CN=Velmora test server", "-addext",
                    "subjectAltName=IP:127.0.0.1,DNS:localhost", "-addext", "basicConstraints=critical,CA:TRUE"],
                   check=True, capture_output=True)
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(cert, key)
    implicit = args.mode == "implicit"

    def authenticator(server, session, envelope, mechanism, auth_data):
        ok = isinstance(auth_data, LoginPassword) and (auth_data.login, auth_data.password) == (b"alice", b"s3cret")
        return AuthResult(success=ok, handled=False)  # not handled: the server answers 535 itself

    handler = Handler(args)

    def factory():
        return SMTP(handler, tls_context=None if implicit else context, require_starttls=not implicit,
                    authenticator=authenticator, auth_required=True, auth_require_tls=not implicit,
                    enable_SMTPUTF8=True)

    loop = asyncio.new_event_loop()
    asyncio.set_event_loop(loop)
    server = loop.run_until_complete(
        loop.create_server(factory, host="127.0.0.1", port=0, ssl=context if implicit else None))

    def watch_stdin():
        sys.stdin.read()
        loop.call_soon_threadsafe(loop.stop)

    threading.Thread(target=watch_stdin, daemon=True).start()
    print("PORT %d" % server.sockets[0].getsockname()[1], flush=True)
    loop.run_forever()


if __name__ == "__main__":
    main()

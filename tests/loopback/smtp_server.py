#!/usr/bin/env python3
"""A throw-away SMTP server on 127.0.0.1 for the SMTP client's loopback tests.

Makes a fresh self-signed test certificate (for 127.0.0.1 and localhost) in --dir,
listens on a free port, prints "PORT <n>" once ready, and writes every message it
accepts as msg-<n>.json in --dir, parsed by Python's own email package. It stops when
its standard input closes, so it never outlives the test that started it.

For tests of failures: --refuse ADDRESS answers RCPT TO for that address with 550, and
--drop-after N resets the connection right after accepting its N-th message.
"""
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


def make_certificate(directory):
    cert = os.path.join(directory, "cert.pem")
    key = os.path.join(directory, "key.pem")
    subprocess.run(
        ["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1",
         "-keyout", key, "-out", cert, "-subj", "/CN=Velmora test server",
         "-addext", "subjectAltName=IP:127.0.0.1,DNS:localhost",
         "-addext", "basicConstraints=critical,CA:TRUE"],
        check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return cert, key


class Handler:
    def __init__(self, directory, refuse, drop_after):
        self.directory = directory
        self.count = 0
        self.refuse = refuse
        self.drop_after = drop_after

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address == self.refuse:
            return "550 5.1.1 <%s>: Recipient address rejected" % address
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        msg = email.message_from_bytes(envelope.original_content, policy=email.policy.default)

        def body(kind):
            part = msg.get_body(preferencelist=(kind,))
            if part is None or part.get_content_type() != "text/" + kind:
                return None
            return part.get_content()

        record = {
            "mail_from": envelope.mail_from,
            "rcpt_tos": envelope.rcpt_tos,
            "subject": str(msg["subject"] or ""),
            "from": str(msg["from"] or ""),
            "to": str(msg["to"] or ""),
            "content_type": msg.get_content_type(),
            "plain": body("plain"),
            "html": body("html"),
            "has_date": msg["date"] is not None,
            "has_message_id": msg["message-id"] is not None,
            "defects": len(msg.defects),
            "tls": session.ssl is not None
                   or server.transport.get_extra_info("ssl_object") is not None,
            "authenticated": bool(session.authenticated),
        }
        path = os.path.join(self.directory, "msg-%d.json" % self.count)
        with open(path + ".tmp", "w", encoding="utf-8") as f:
            json.dump(record, f)
        os.replace(path + ".tmp", path)
        if self.count == self.drop_after:
            # After the reply has gone out: the connection ends without a sign-off.
            asyncio.get_running_loop().call_soon(server.transport.abort)
        return "250 Message accepted"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dir", required=True)
    parser.add_argument("--mode", choices=["starttls", "implicit"], default="starttls")
    parser.add_argument("--user", default="alice")
    parser.add_argument("--password", default="s3cret")
    parser.add_argument("--exclude-auth", default="")
    parser.add_argument("--refuse", default="")
    parser.add_argument("--drop-after", type=int, default=0)
    args = parser.parse_args()
    # A client that rightly drops an untrusted handshake is no news here.
    logging.getLogger("mail.log").setLevel(logging.CRITICAL)
    warnings.simplefilter("ignore")

    cert, key = make_certificate(args.dir)
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(cert, key)

    def authenticator(server, session, envelope, mechanism, auth_data):
        ok = (isinstance(auth_data, LoginPassword)
              and auth_data.login.decode() == args.user
              and auth_data.password.decode() == args.password)
        # handled=False: let the server answer 535 itself.
        return AuthResult(success=ok, handled=False)

    handler = Handler(args.dir, args.refuse, args.drop_after)
    exclude = [m for m in args.exclude_auth.split(",") if m]

    def factory():
        if args.mode == "implicit":
            return SMTP(handler, authenticator=authenticator, auth_required=True,
                        auth_require_tls=False, auth_exclude_mechanism=exclude,
                        enable_SMTPUTF8=True)
        return SMTP(handler, tls_context=context, require_starttls=True,
                    authenticator=authenticator, auth_required=True, auth_require_tls=True,
                    auth_exclude_mechanism=exclude, enable_SMTPUTF8=True)

    loop = asyncio.new_event_loop()
    asyncio.set_event_loop(loop)
    server = loop.run_until_complete(loop.create_server(
        factory, host="127.0.0.1", port=0,
        ssl=context if args.mode == "implicit" else None))
    port = server.sockets[0].getsockname()[1]

    def watch_stdin():
        sys.stdin.read()
        loop.call_soon_threadsafe(loop.stop)

    threading.Thread(target=watch_stdin, daemon=True).start()
    print("PORT %d" % port, flush=True)
    try:
        loop.run_forever()
    finally:
        server.close()


if __name__ == "__main__":
    main()

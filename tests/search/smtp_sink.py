#!/usr/bin/python3
"""SMTP server for the mail tests: listens on 127.0.0.1 on a free port,
prints the port on the first line of its output, and stores every mail it
receives in DIR as NNN.eml (the bytes after DATA, dot-unstuffed) and
NNN.json (what Python's email package reads from it). Stops when its
standard input closes, so it never outlives the test that started it.
With --tls CERT KEY it offers STARTTLS and refuses mail without it; with
--auth USER:PASSWORD it wants that login (PLAIN or LOGIN) before any mail.

Usage: smtp_sink.py DIR [--tls CERT KEY] [--auth USER:PASSWORD]
"""
import asyncio
import json
import os
import ssl
import sys
from email import message_from_bytes
from email.header import decode_header, make_header

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


def read_mail(raw: bytes) -> dict:
    msg = message_from_bytes(raw)
    subject_raw = msg.get("Subject", "")
    if "=?" in subject_raw:
        subject = str(make_header(decode_header(subject_raw)))
    else:
        # A plain subject: ISO-2022-JP bytes as they stand in the header.
        subject = subject_raw.encode("latin-1", "surrogateescape").decode("iso-2022-jp")
    charset = msg.get_content_charset() or "us-ascii"
    body = msg.get_payload(decode=True).decode(charset)
    return {
        "headers": [name for name, _ in msg.raw_items()],
        "subject_raw": subject_raw,
        "subject": subject,
        "charset": charset,
        "body": body,
    }


class Store:
    def __init__(self, folder):
        self.folder = folder
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        base = os.path.join(self.folder, "%03d" % self.count)
        raw = envelope.original_content
        summary = read_mail(raw)
        summary["mail_from"] = envelope.mail_from
        summary["rcpt_tos"] = envelope.rcpt_tos
        with open(base + ".eml.tmp", "wb") as f:
            f.write(raw)
        with open(base + ".json.tmp", "w", encoding="utf-8") as f:
            json.dump(summary, f)
        # The .eml is what readers count, so it appears last: a counted mail
        # always has its summary beside it.
        os.rename(base + ".json.tmp", base + ".json")
        os.rename(base + ".eml.tmp", base + ".eml")
        return "250 OK"


def authenticator(user, password):
    def check(server, session, envelope, mechanism, auth_data):
        ok = isinstance(auth_data, LoginPassword) and auth_data.login == user and auth_data.password == password
        return AuthResult(success=ok, handled=False)
    return check


async def main(folder, options):
    loop = asyncio.get_running_loop()
    store = Store(folder)
    kwargs = {"hostname": "localhost"}
    if "--tls" in options:
        at = options.index("--tls")
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(options[at + 1], options[at + 2])
        kwargs.update(tls_context=context, require_starttls=True)
    if "--auth" in options:
        user, password = options[options.index("--auth") + 1].encode().split(b":", 1)
        kwargs.update(authenticator=authenticator(user, password), auth_required=True,
                      auth_require_tls="--tls" in options)
    server = await loop.create_server(lambda: SMTP(store, **kwargs), "127.0.0.1", 0)
    print(server.sockets[0].getsockname()[1], flush=True)
    await loop.run_in_executor(None, sys.stdin.buffer.read)
    server.close()
    await server.wait_closed()


if __name__ == "__main__":
    asyncio.run(main(sys.argv[1], sys.argv[2:]))

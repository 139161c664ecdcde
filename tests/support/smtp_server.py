#!/usr/bin/python3
"""A real SMTP server for the tests, on 127.0.0.1, with scriptable faults.

Prints "PORT <n>" on standard output once it accepts connections and runs until its standard
input is closed (or it gets SIGTERM). Every accepted message is written to the record folder
as <n>.eml (the bytes received) and <n>.json (its envelope and a summary parsed with Python's
email package). The number of client connections that greeted the server is kept in
<record>/connections.
"""

import argparse
import asyncio
import email
import email.policy
import json
import os
import signal
import ssl
import sys
import threading

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


def parse_arguments():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--port", type=int, default=0, help="0 picks a free port")
    parser.add_argument("--record", required=True, help="folder for the accepted messages")
    parser.add_argument("--refuse", action="append", default=[], metavar="TEXT=REPLY",
                        help='RCPT addresses containing TEXT get REPLY, e.g. "nobody=550 5.1.1 No such user"')
    parser.add_argument("--drop-data", type=int, default=0, metavar="N",
                        help="drop the connection in the middle of the first N DATA transfers")
    parser.add_argument("--stall", choices=["connect", "rcpt", "data"],
                        help="never answer at that point of the conversation")
    parser.add_argument("--reply-delay", type=float, default=0.0, help="seconds before each RCPT and DATA reply")
    parser.add_argument("--cert", help="PEM certificate: offer STARTTLS (or implicit TLS with --implicit-tls)")
    parser.add_argument("--key", help="PEM private key of --cert")
    parser.add_argument("--implicit-tls", action="store_true", help="TLS from the first byte (smtps)")
    parser.add_argument("--require-starttls", action="store_true", help="refuse commands before STARTTLS")
    parser.add_argument("--auth", metavar="USER:PASSWORD", help="require AUTH (PLAIN, LOGIN) with these credentials")
    parser.add_argument("--auth-without-tls", action="store_true", help="allow AUTH over a clear connection")
    return parser.parse_args()


def write_atomically(path, data):
    temporary = path + ".part"
    with open(temporary, "wb") as file:
        file.write(data)
    os.replace(temporary, path)


def summarise(envelope, raw):
    message = email.message_from_bytes(raw, policy=email.policy.default)
    plain = message.get_body(preferencelist=("plain",))
    html = message.get_body(preferencelist=("html",))
    attachments = []
    for part in message.iter_attachments():
        payload = part.get_payload(decode=True) or b""
        attachments.append({
            "filename": part.get_filename() or "",
            "contentType": part.get_content_type(),
            "size": len(payload),
        })
    return {
        "mailFrom": envelope.mail_from,
        "rcptTos": list(envelope.rcpt_tos),
        "from": str(message.get("From", "")),
        "to": str(message.get("To", "")),
        "subject": str(message.get("Subject", "")),
        "messageId": str(message.get("Message-ID", "")),
        "date": str(message.get("Date", "")),
        "contentType": message.get_content_type(),
        "textBody": plain.get_content().replace("\r\n", "\n") if plain is not None else None,
        "htmlBody": html.get_content().replace("\r\n", "\n") if html is not None else None,
        "attachments": attachments,
        "defects": [type(defect).__name__ for defect in message.defects],
    }


class Recorder:
    """The handler: refusals, delays and stalls on RCPT and DATA, and the record of accepted mail."""

    def __init__(self, options):
        self.options = options
        self.refusals = [rule.split("=", 1) for rule in options.refuse]
        self.accepted = 0
        self.lock = threading.Lock()

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if self.options.stall == "rcpt":
            await asyncio.sleep(3600)
        if self.options.reply_delay:
            await asyncio.sleep(self.options.reply_delay)
        for text, reply in self.refusals:
            if text in address:
                return reply
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        if self.options.stall == "data":
            await asyncio.sleep(3600)
        if self.options.reply_delay:
            await asyncio.sleep(self.options.reply_delay)
        raw = envelope.original_content
        with self.lock:
            self.accepted += 1
            number = self.accepted
        base = os.path.join(self.options.record, "%06d" % number)
        write_atomically(base + ".eml", raw)
        summary = summarise(envelope, raw)
        write_atomically(base + ".json", json.dumps(summary, indent=1).encode("utf-8"))
        return "250 2.0.0 Accepted as message %d" % number


class ScriptedSmtp(SMTP):
    """One client connection, with the connection-level faults."""

    def __init__(self, handler, faults, **kwargs):
        super().__init__(handler, **kwargs)
        self.faults = faults
        self.greeted = False

    async def _handle_client(self):
        if self.faults.stall_connections:
            await asyncio.sleep(3600)
            return
        await super()._handle_client()

    async def smtp_EHLO(self, hostname):
        self.faults.count_greeting(self)
        await super().smtp_EHLO(hostname)

    async def smtp_HELO(self, hostname):
        self.faults.count_greeting(self)
        await super().smtp_HELO(hostname)

    async def smtp_DATA(self, arg):
        if self.envelope.rcpt_tos and self.faults.take_drop():
            await self.push("354 End data with <CR><LF>.<CR><LF>")
            try:
                await asyncio.wait_for(self._reader.readuntil(b"\r\n"), 5)
            except Exception:
                pass
            self.transport.close()
            return
        await super().smtp_DATA(arg)


class Faults:
    """Connection counting and the faults that outlive one connection; shared by all of them."""

    def __init__(self, options):
        self.options = options
        self.drops_left = options.drop_data
        self.stall_connections = False
        self.connections = 0
        self.lock = threading.Lock()

    def count_greeting(self, connection):
        # A STARTTLS connection greets twice; it is still one connection.
        if connection.greeted:
            return
        connection.greeted = True
        with self.lock:
            self.connections += 1
            write_atomically(os.path.join(self.options.record, "connections"), str(self.connections).encode())

    def take_drop(self):
        with self.lock:
            if self.drops_left <= 0:
                return False
            self.drops_left -= 1
            return True


class ScriptedController(Controller):
    """Binds the port the caller asked for, 0 meaning any free one, and builds scripted connections."""

    def __init__(self, handler, faults, smtp_options, **kwargs):
        super().__init__(handler, **kwargs)
        self.faults = faults
        self.smtp_options = smtp_options

    def factory(self):
        return ScriptedSmtp(self.handler, self.faults, **self.smtp_options)

    def _create_server(self):
        async def create():
            server = await self.loop.create_server(self._factory_invoker, host=self.hostname, port=self.port,
                                                   ssl=self.ssl_context)
            self.port = server.sockets[0].getsockname()[1]
            return server
        return create()


def tls_context(options):
    if not options.cert:
        return None
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(options.cert, options.key)
    return context


def authenticator_for(credentials):
    user, password = credentials.split(":", 1)

    def authenticate(server, session, envelope, mechanism, auth_data):
        good = (isinstance(auth_data, LoginPassword) and auth_data.login == user.encode()
                and auth_data.password == password.encode())
        # handled=False: the server itself answers 535 to a failure.
        return AuthResult(success=good, handled=False)

    return authenticate


def build_controller(options):
    faults = Faults(options)
    context = tls_context(options)
    smtp_options = {"hostname": "test.invalid", "enable_SMTPUTF8": True}
    if context is not None and not options.implicit_tls:
        smtp_options["tls_context"] = context
        smtp_options["require_starttls"] = options.require_starttls
    if options.auth:
        smtp_options["authenticator"] = authenticator_for(options.auth)
        smtp_options["auth_required"] = True
        # An implicit-TLS connection is encrypted, but aiosmtpd only knows about STARTTLS.
        smtp_options["auth_require_tls"] = not (options.auth_without_tls or options.implicit_tls)
    controller = ScriptedController(Recorder(options), faults, smtp_options, hostname="127.0.0.1",
                                    port=options.port,
                                    ssl_context=context if options.implicit_tls else None)
    return controller, faults


def main():
    options = parse_arguments()
    os.makedirs(options.record, exist_ok=True)
    write_atomically(os.path.join(options.record, "connections"), b"0")
    controller, faults = build_controller(options)
    controller.start()
    # The controller's own start-up connection has been made; stall only the clients'.
    faults.stall_connections = options.stall == "connect"
    print("PORT %d" % controller.port, flush=True)

    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    reader = threading.Thread(target=lambda: (sys.stdin.read(), stop.set()), daemon=True)
    reader.start()
    stop.wait()
    controller.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())

"""An SMTP server for the mail tests (run with /usr/bin/python3).

usage: smtp_sink.py PORT FOLDER [--reject ADDRESS]... [--tls CERT KEY]

Listens on 127.0.0.1:PORT. Every command that matters to the tests (EHLO,
HELO, STARTTLS, AUTH) is appended to FOLDER/commands.log. Each accepted
message becomes the folder FOLDER/mailN (N from 1) with one file a field,
read by Python's own mail parser: envelope_from, envelope_to, helo, raw
(the message as received), from, to, subject, date, message_id,
mime_version, body, attachment (the decoded bytes), attachment_name,
attachment_type, attachment_encoding, defects. The folder appears only
when complete. Recipients named with --reject are refused with "550".
With --tls the server offers STARTTLS with that certificate.
"""
import asyncio
import email
import email.policy
import os
import ssl
import sys

from aiosmtpd.smtp import SMTP


def parse_args(argv):
    port, folder = int(argv[1]), argv[2]
    rejected, tls = set(), None
    i = 3
    while i < len(argv):
        if argv[i] == "--reject":
            rejected.add(argv[i + 1])
            i += 2
        elif argv[i] == "--tls":
            tls = (argv[i + 1], argv[i + 2])
            i += 3
        else:
            raise SystemExit("unknown argument " + argv[i])
    return port, folder, rejected, tls


class Handler:
    def __init__(self, folder, rejected):
        self.folder = folder
        self.rejected = rejected
        self.count = 0

    def note(self, line):
        with open(os.path.join(self.folder, "commands.log"), "a") as f:
            f.write(line + "\n")

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address in self.rejected:
            return "550 5.1.1 <%s>: mailbox unavailable" % address
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        final = os.path.join(self.folder, "mail%d" % self.count)
        work = final + ".part"
        os.mkdir(work)

        def put(name, value):
            mode = "wb" if isinstance(value, bytes) else "w"
            with open(os.path.join(work, name), mode) as f:
                f.write(value)

        raw = envelope.original_content or envelope.content
        put("raw", raw)
        put("envelope_from", envelope.mail_from)
        put("envelope_to", "\n".join(envelope.rcpt_tos))
        put("helo", session.host_name or "")
        msg = email.message_from_bytes(raw, policy=email.policy.default)
        for field in ("from", "to", "subject", "date", "message-id", "mime-version"):
            put(field.replace("-", "_"), str(msg[field]) if msg[field] is not None else "")
        defects = [repr(d) for d in msg.defects]
        body = msg.get_body(("plain",))
        put("body", body.get_content() if body is not None else "")
        for part in msg.iter_attachments():
            put("attachment", part.get_payload(decode=True))
            put("attachment_name", part.get_filename() or "")
            put("attachment_type", part.get_content_type())
            put("attachment_encoding", part.get("content-transfer-encoding", ""))
            defects += [repr(d) for d in part.defects]
        put("defects", "\n".join(defects))
        os.rename(work, final)
        return "250 Message accepted for delivery"


class Recorder(SMTP):
    async def smtp_EHLO(self, hostname):
        self.event_handler.note("EHLO " + hostname)
        return await super().smtp_EHLO(hostname)

    async def smtp_HELO(self, hostname):
        self.event_handler.note("HELO " + hostname)
        return await super().smtp_HELO(hostname)

    async def smtp_STARTTLS(self, arg):
        self.event_handler.note("STARTTLS")
        return await super().smtp_STARTTLS(arg)

    async def smtp_AUTH(self, arg):
        self.event_handler.note("AUTH " + (arg or ""))
        return await super().smtp_AUTH(arg)


def main():
    port, folder, rejected, tls = parse_args(sys.argv)
    handler = Handler(folder, rejected)
    context = None
    if tls is not None:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(tls[0], tls[1])
    loop = asyncio.new_event_loop()
    asyncio.set_event_loop(loop)
    server = loop.run_until_complete(
        loop.create_server(
            lambda: Recorder(handler, hostname="sink.test", tls_context=context,
                             auth_require_tls=False),
            "127.0.0.1", port))
    try:
        loop.run_forever()
    finally:
        server.close()


if __name__ == "__main__":
    main()

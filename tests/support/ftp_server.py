"""A loopback FTP server for the download tests (pyftpdlib).

Serves --root to the user --user / --password on 127.0.0.1:--port and can
misbehave on purpose:
  --rest CODE      answer every REST with CODE (502, 554, ...) instead of 350
  --listing FILE   answer LIST with the bytes of FILE instead of the folder
  --break PREFIX   send half of a file whose name begins with PREFIX, then
                   drop the control connection
  --slow BYTES     send file data at most BYTES per second
  --commands FILE  append every command received (verb and argument) to FILE
"""
import argparse
import logging
import os

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--root", required=True)
    p.add_argument("--port", type=int, required=True)
    p.add_argument("--user", default="loguser")
    p.add_argument("--password", default="secret")
    p.add_argument("--rest", type=int, default=0)
    p.add_argument("--listing", default="")
    p.add_argument("--break", dest="break_prefix", default="")
    p.add_argument("--slow", type=int, default=0)
    p.add_argument("--commands", default="")
    a = p.parse_args()

    class Handler(FTPHandler):
        def process_command(self, cmd, *args, **kwargs):
            if a.commands:
                with open(a.commands, "a") as log:
                    log.write("%s %s\n" % (cmd, args[0] if args and args[0] else ""))
            return super().process_command(cmd, *args, **kwargs)

        def ftp_REST(self, line):
            if a.rest:
                self.respond("%d Restart is not possible here." % a.rest)
                return
            return super().ftp_REST(line)

        def ftp_LIST(self, path):
            if a.listing:
                with open(a.listing, "rb") as f:
                    self.push_dtp_data(f.read(), isproducer=False, cmd="LIST")
                return path
            return super().ftp_LIST(path)

        def ftp_RETR(self, file):
            name = os.path.basename(file)
            if a.break_prefix and name.startswith(a.break_prefix):
                with open(file, "rb") as f:
                    f.seek(self._restart_position)
                    data = f.read()
                self._restart_position = 0
                self.push_dtp_data(data[: len(data) // 2], isproducer=False, cmd="RETR")
                self.ioloop.call_later(0.2, self.close)
                return file
            return super().ftp_RETR(file)

    authorizer = DummyAuthorizer()
    authorizer.add_user(a.user, a.password, a.root, perm="elr")
    Handler.authorizer = authorizer
    # Refused logins are answered at once (pyftpdlib waits 3 s by default).
    Handler.auth_failed_timeout = 0.1
    Handler.permit_foreign_addresses = False
    if a.slow:
        dtp = ThrottledDTPHandler
        dtp.write_limit = a.slow
        Handler.dtp_handler = dtp
    logging.basicConfig(level=logging.WARNING)
    server = FTPServer(("127.0.0.1", a.port), Handler)
    # Never outlive a test process that died without stopping the server.
    parent = os.getppid()
    server.ioloop.call_every(0.5, lambda: os.getppid() != parent and os._exit(0))
    server.serve_forever(timeout=0.5)


if __name__ == "__main__":
    main()

#!/usr/bin/python3
# A real FTP server for the upload tests, on 127.0.0.1 at a free port. Like the machines'
# servers it reads "\" as "/", so a change to "\" goes to the root folder. Every command it
# receives is written to the log file, one per line. The chosen port is printed on stdout.
import argparse
import logging
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


class BackslashFS(AbstractedFS):
    def ftpnorm(self, ftppath):
        return AbstractedFS.ftpnorm(self, ftppath.replace("\\", "/"))


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--root", required=True)
    p.add_argument("--log", required=True)
    p.add_argument("--user", required=True)
    p.add_argument("--password", required=True)
    p.add_argument("--perm", default="elradfmw")
    p.add_argument("--plain-fs", action="store_true", help="no backslash reading")
    p.add_argument("--cwd-code", default="", help="answer a good CWD with this code")
    p.add_argument("--permit-foreign", action="store_true",
                   help="accept an active-mode address other than the client's (127.0.0.0/8 only)")
    p.add_argument("--banner", default="", help="the greeting; a long one goes out in many lines")
    p.add_argument("--never-connect", action="store_true",
                   help="take an active-mode announcement and never open its data connection")
    a = p.parse_args()

    logging.basicConfig(level=logging.ERROR)
    auth = DummyAuthorizer()
    auth.add_user(a.user, a.password, a.root, perm=a.perm)
    log = open(a.log, "a", buffering=1)

    class Handler(FTPHandler):
        last = ""

        def pre_process_command(self, line, cmd, arg):
            log.write(line + "\n")
            self.last = cmd
            return FTPHandler.pre_process_command(self, line, cmd, arg)

        def respond(self, resp, logfun=None):
            if a.cwd_code and self.last == "CWD" and resp.startswith("250 "):
                resp = a.cwd_code + resp[3:]
            if logfun is None:
                return FTPHandler.respond(self, resp)
            return FTPHandler.respond(self, resp, logfun)

        def ftp_PORT(self, line):
            if a.never_connect:
                self.respond("200 Active data connection established.")
                return
            # Whatever the client announces, this server connects only on the loopback.
            if a.permit_foreign and not line.startswith("127,"):
                self.respond("501 Only loopback addresses here.")
                return
            return FTPHandler.ftp_PORT(self, line)

        def ftp_EPRT(self, line):
            if a.permit_foreign and "|127." not in line:
                self.respond("501 Only loopback addresses here.")
                return
            return FTPHandler.ftp_EPRT(self, line)

    Handler.authorizer = auth
    Handler.abstracted_fs = AbstractedFS if a.plain_fs else BackslashFS
    Handler.timeout = 60
    Handler.auth_failed_timeout = 0
    Handler.permit_foreign_addresses = a.permit_foreign
    if a.banner:
        Handler.banner = a.banner.replace("\\n", "\r\n")
    server = FTPServer(("127.0.0.1", 0), Handler)
    sys.stdout.write("%d\n" % server.socket.getsockname()[1])
    sys.stdout.flush()
    server.serve_forever(timeout=0.2)


if __name__ == "__main__":
    main()

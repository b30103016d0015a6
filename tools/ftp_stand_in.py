#!/usr/bin/env python3
"""A pyftpdlib FTP server on 127.0.0.1 for the end-to-end tests and the host demo.

Usage: ftp_stand_in.py ROOT USER PASSWORD [SECONDS]
Prints "listening 127.0.0.1:PORT" first, serves ROOT to the one user, and
stops on SIGTERM or SIGINT, or after SECONDS (60 by default; 0: only then)."""

import logging
import signal
import sys
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    root, user, password = sys.argv[1:4]
    seconds = float(sys.argv[4]) if len(sys.argv) > 4 else 60.0
    logging.basicConfig(level=logging.ERROR)
    authorizer = DummyAuthorizer()
    authorizer.add_user(user, password, root, perm="elrw")
    handler = FTPHandler
    handler.authorizer = authorizer
    server = FTPServer(("127.0.0.1", 0), handler)
    print("listening 127.0.0.1:%d" % server.address[1], flush=True)
    stop = []
    for sig in (signal.SIGTERM, signal.SIGINT):
        signal.signal(sig, lambda *_: stop.append(1))
    deadline = time.monotonic() + seconds if seconds > 0 else float("inf")
    while not stop and time.monotonic() < deadline:
        server.serve_forever(timeout=0.2, blocking=False, handle_exit=False)
    server.close_all()
    return 0


if __name__ == "__main__":
    sys.exit(main())

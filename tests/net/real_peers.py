#!/usr/bin/env python3
"""Starts Python's HTTP server (a static file and a CGI script) and a
pyftpdlib FTP server on free loopback ports, runs the network driver
against them (optionally through a runner such as tools/wine-run), and
stops everything, bounded in time. Exit status: the driver's."""

import argparse
import os
import subprocess
import sys
import tempfile
import threading

ECHO_CGI = r'''#!{python}
import os, sys
length = int(os.environ.get("CONTENT_LENGTH") or 0)
body = sys.stdin.buffer.read(length) if length else b""
out = sys.stdout.buffer
out.write(b"Content-Type: text/plain\r\n")
out.write(b"Set-Cookie: SID=s1; path=/\r\n")
out.write(b"Set-Cookie: EMAIL_SID=e1; path=/\r\n\r\n")
out.write(b"[OK]\nlength=%d\nbody=" % length + body + b"\ncookie=" +
          os.environ.get("HTTP_COOKIE", "").encode("latin-1") + b"\n")
'''


def serve_ftp(root):
    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.handlers import FTPHandler
    from pyftpdlib.servers import FTPServer
    import logging
    logging.basicConfig(level=logging.WARNING)
    authorizer = DummyAuthorizer()
    authorizer.add_user("tesra", "secret", root, perm="elradfmw")
    handler = FTPHandler
    handler.authorizer = authorizer
    server = FTPServer(("127.0.0.1", 0), handler)
    print(server.address[1], flush=True)
    server.serve_forever(timeout=0.5)


def first_line(proc, timeout):
    result = []
    reader = threading.Thread(target=lambda: result.append(proc.stdout.readline()), daemon=True)
    reader.start()
    reader.join(timeout)
    if not result:
        raise RuntimeError("server did not start")
    return result[0].decode()


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--driver")
    ap.add_argument("--runner", default="")
    ap.add_argument("--timeout", type=int, default=120)
    ap.add_argument("--serve-ftp")
    # CGI scripts must be executable where they lie; /tmp may forbid it.
    ap.add_argument("--workdir", default=None)
    args = ap.parse_args()
    if args.serve_ftp:
        serve_ftp(args.serve_ftp)
        return 0

    if args.workdir:
        os.makedirs(args.workdir, exist_ok=True)
    with tempfile.TemporaryDirectory(prefix="tesra-peers-", dir=args.workdir) as work:
        # Run as root, the server drops to "nobody" before it starts a CGI
        # script, which must then be able to reach it.
        os.chmod(work, 0o755)
        www = os.path.join(work, "www")
        os.makedirs(os.path.join(www, "cgi-bin"))
        with open(os.path.join(www, "static.txt"), "wb") as f:
            f.write(b"static \xb8\xde\xb8\xf0\r\n" + b"s" * 20000)
        cgi = os.path.join(www, "cgi-bin", "echo.py")
        with open(cgi, "w") as f:
            f.write(ECHO_CGI.replace("{python}", sys.executable))
        os.chmod(cgi, 0o755)
        ftp_root = os.path.join(work, "ftp")
        os.makedirs(os.path.join(ftp_root, "Tesra"))
        with open(os.path.join(ftp_root, "Tesra", "memo7.dat"), "wb") as f:
            f.write(b"memo \xb8\xde\xb8\xf0\r\n" + bytes(range(256)) * 200)

        servers = []
        try:
            http = subprocess.Popen([sys.executable, "-u", "-m", "http.server", "--cgi", "--bind", "127.0.0.1", "0"],
                                    cwd=www, stdout=subprocess.PIPE,
                                    stderr=open(os.path.join(work, "http.log"), "wb"))
            servers.append(http)
            # "Serving HTTP on 127.0.0.1 port N (http://127.0.0.1:N/) ..."
            http_port = int(first_line(http, 10).split(" port ")[1].split()[0])
            ftp = subprocess.Popen([sys.executable, "-u", os.path.abspath(__file__), "--serve-ftp", ftp_root],
                                   stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
            servers.append(ftp)
            ftp_port = int(first_line(ftp, 10))
            command = ([args.runner] if args.runner else []) + [args.driver, str(http_port), str(ftp_port)]
            print("running:", " ".join(command), flush=True)
            done = subprocess.run(command, cwd=work, timeout=args.timeout)
            if done.returncode != 0:
                with open(os.path.join(work, "http.log"), "rb") as log:
                    sys.stdout.write(log.read().decode("utf-8", "replace"))
            return done.returncode
        finally:
            for s in servers:
                s.terminate()
            for s in servers:
                try:
                    s.wait(5)
                except subprocess.TimeoutExpired:
                    s.kill()


if __name__ == "__main__":
    sys.exit(main())

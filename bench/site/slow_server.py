#!/usr/bin/env python3
"""Serves a generated site on 127.0.0.1 with every answer delayed.

Used to see what a mirroring tool costs while all its workers wait on a slow
server. Reads the site's redirects.conf so redirecting addresses behave as they
do under nginx. Prints "PORT n" on stdout once it listens, writes one line per
request ("METHOD STATUS BYTES PATH") to --access-log, and shuts itself down
after --lifetime seconds at the latest.
"""

import argparse
import functools
import os
import re
import sys
import threading
import time
from http.server import SimpleHTTPRequestHandler, ThreadingHTTPServer

RULE_RE = re.compile(r"location\s*=\s*(\S+)\s*\{\s*return\s+(\d{3})\s+(\S+?);\s*\}")


def read_redirects(path):
    table = {}
    if os.path.exists(path):
        with open(path) as f:
            for m in RULE_RE.finditer(f.read()):
                table[m.group(1)] = (int(m.group(2)), m.group(3))
    return table


class SlowHandler(SimpleHTTPRequestHandler):
    protocol_version = "HTTP/1.1"   # keep-alive, as nginx does
    delay = 1.0
    redirects = {}
    log_file = None
    log_lock = threading.Lock()

    def handle_one_request(self):
        self._sent = 0
        super().handle_one_request()

    def send_head(self):
        time.sleep(self.delay)
        rule = self.redirects.get(self.path.split("?", 1)[0])
        if rule:
            code, target = rule
            self.send_response(code)
            # The listening address, as nginx does: not every client puts the
            # port into its Host header.
            host, port = self.server.server_address[:2]
            self.send_header("Location", "http://%s:%d%s" % (host, port, target))
            self.send_header("Content-Length", "0")
            self.end_headers()
            return None
        return super().send_head()

    def send_error(self, code, message=None, explain=None):
        # The stock error page has no Content-Length with HEAD; keep-alive
        # clients need one.
        body = b"" if self.command == "HEAD" else (b"%d\n" % code)
        self.send_response(code, message)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if body:
            self.wfile.write(body)
            self._sent += len(body)

    def copyfile(self, source, outputfile):
        while True:
            buf = source.read(65536)
            if not buf:
                break
            outputfile.write(buf)
            self._sent += len(buf)

    def log_request(self, code="-", size="-"):
        self._status = code

    def log_message(self, fmt, *args):
        pass

    def do_GET(self):
        super().do_GET()
        self._log()

    def do_HEAD(self):
        super().do_HEAD()
        self._log()

    def _log(self):
        if self.log_file is None:
            return
        status = getattr(self, "_status", "-")
        status = getattr(status, "value", status)
        with self.log_lock:
            self.log_file.write("%s %s %d %s\n" % (self.command, status, self._sent, self.path))
            self.log_file.flush()


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("site", help="folder made by generate_site.py (holds www/)")
    ap.add_argument("--port", type=int, default=0, help="port (default: a free one)")
    ap.add_argument("--delay", type=float, default=1.0, help="seconds before each answer (default 1)")
    ap.add_argument("--lifetime", type=float, default=900, help="stop after this many seconds (default 900)")
    ap.add_argument("--access-log", help="file for one line per request")
    args = ap.parse_args(argv)

    SlowHandler.delay = args.delay
    SlowHandler.redirects = read_redirects(os.path.join(args.site, "redirects.conf"))
    if args.access_log:
        SlowHandler.log_file = open(args.access_log, "a")
    handler = functools.partial(SlowHandler, directory=os.path.join(args.site, "www"))
    server = ThreadingHTTPServer(("127.0.0.1", args.port), handler)
    server.daemon_threads = True
    timer = threading.Timer(args.lifetime, server.shutdown)
    timer.daemon = True
    timer.start()
    print("PORT %d" % server.server_address[1], flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    finally:
        server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())

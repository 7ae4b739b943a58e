#!/usr/bin/env python3
"""Kills quarn-cli at random moments of a copy, then lets an update finish it.

  bench/site/kill_resume.py [--pages N] [--kills K] [--max-delay SECONDS] [--seed S]
                             [--quarn-cli PATH]

Generates a site (generate_site.py), serves it with nginx on 127.0.0.1, and runs
`quarn-cli mirror` K times into one folder, each run killed with SIGKILL after a
random delay; a last run goes to the end. The copy must then hold every file of
the site, no temporary file may be left, and every link of every stored page
must resolve on disk (measure.py's check). Exits 1 when any of that fails.
"""

import argparse
import json
import os
import random
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import measure  # noqa: E402


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def start_nginx(work, www, redirects):
    prefix = os.path.join(work, "nginx")
    os.makedirs(os.path.join(prefix, "tmp"), exist_ok=True)
    port = free_port()
    conf = os.path.join(prefix, "nginx.conf")
    with open(conf, "w") as f:
        f.write("""daemon on;
worker_processes 1;
pid %(p)s/nginx.pid;
error_log %(p)s/error.log warn;
events { worker_connections 1024; }
http {
  types { text/html html htm; text/css css; image/png png; image/gif gif; }
  default_type application/octet-stream;
  access_log off;
  client_body_temp_path %(p)s/tmp/body;
  proxy_temp_path %(p)s/tmp/proxy;
  fastcgi_temp_path %(p)s/tmp/fastcgi;
  uwsgi_temp_path %(p)s/tmp/uwsgi;
  scgi_temp_path %(p)s/tmp/scgi;
  keepalive_requests 1000000;
  server {
    listen 127.0.0.1:%(port)d;
    root %(www)s;
    index index.html;
    include %(redirects)s;
  }
}
""" % {"p": prefix, "port": port, "www": www, "redirects": redirects})
    subprocess.run(["nginx", "-p", prefix + "/", "-c", conf, "-e", prefix + "/error.log"],
                   check=True)
    for _ in range(100):
        try:
            socket.create_connection(("127.0.0.1", port), timeout=0.1).close()
            return prefix, port
        except OSError:
            time.sleep(0.1)
    raise RuntimeError("nginx does not listen")


def stop_nginx(prefix):
    try:
        with open(os.path.join(prefix, "nginx.pid")) as f:
            os.kill(int(f.read().strip()), signal.SIGQUIT)
    except (OSError, ValueError):
        pass


def temporaries(top):
    return [os.path.join(r, n) for r, _, names in os.walk(top) for n in names
            if n.startswith(".quarn-") and n.endswith(".part")]


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--pages", type=int, default=1000)
    ap.add_argument("--kills", type=int, default=8)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--max-delay", type=float, default=0.1,
                    help="longest run before the kill, seconds (default 0.1)")
    ap.add_argument("--quarn-cli", default=os.environ.get("QUARN_CLI"))
    args = ap.parse_args(argv)
    root = os.path.dirname(os.path.dirname(HERE))
    cli = args.quarn_cli or next(
        (p for p in (os.path.join(root, "build-release", "quarn-cli"),
                     os.path.join(root, "build", "quarn-cli")) if os.path.exists(p)), None)
    if not cli or not shutil.which("nginx"):
        print("kill_resume.py: needs quarn-cli (--quarn-cli) and nginx", file=sys.stderr)
        return 2
    rng = random.Random(args.seed)
    work = tempfile.mkdtemp(prefix="quarn-kill-")
    os.chmod(work, 0o755)  # nginx's workers may run as another user
    prefix = None
    try:
        site = os.path.join(work, "site")
        subprocess.run([sys.executable, os.path.join(HERE, "generate_site.py"), "--pages",
                        str(args.pages), "--out", site], check=True, stdout=subprocess.DEVNULL)
        with open(os.path.join(site, "manifest.json")) as f:
            expect = json.load(f)["files"]
        prefix, port = start_nginx(work, os.path.join(site, "www"),
                                   os.path.join(site, "redirects.conf"))
        out = os.path.join(work, "out")
        cmd = [cli, "mirror", "http://127.0.0.1:%d/index.html" % port, "--name", "Killed",
               "--workers", "8", "--sites-dir", out, "--quiet"]
        for i in range(args.kills):
            delay = rng.uniform(0.005, args.max_delay)
            proc = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            time.sleep(delay)
            proc.send_signal(signal.SIGKILL)
            proc.wait()
            host = os.path.join(out, "Killed", "127.0.0.1")
            stored = measure.count_files(host)[0] if os.path.isdir(host) else 0
            print("run %d killed after %.3f s: %d files, %d temporary" %
                  (i + 1, delay, stored, len(temporaries(out))))
        t0 = time.monotonic()
        rc = subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode
        host = os.path.join(out, "Killed", "127.0.0.1")
        links = measure.check_links(host)
        left = temporaries(out)
        files = measure.count_files(host)[0]
        print("last run: exit %d in %.2f s; %d files (the site has %d, plus redirect stubs); "
              "%d temporary files left" % (rc, time.monotonic() - t0, files, expect, len(left)))
        print("links: %d resolve, %d broken, %d to the site's deliberate 404s" %
              (links["ok"], links["broken"], links["broken_404"]))
        for sample in links["samples"]:
            print("  " + sample)
        good = rc in (0, 1) and not left and links["broken"] == 0 and files >= expect
        print("copy complete" if good else "COPY INCOMPLETE")
        return 0 if good else 1
    finally:
        if prefix:
            stop_nginx(prefix)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())

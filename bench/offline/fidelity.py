#!/usr/bin/python3
"""Judges how well stored copies of a site work offline, next to the original.

  bench/offline/fidelity.py [--root DIR] [--start PATH] [--tools quarn,wget2]
                            [--sample N] [--threshold PCT] [--keep] ...

Serves DIR (default: Python 3.11's HTML documentation, from python3.11-doc)
with nginx on 127.0.0.1, mirrors it with each tool, then
  1. resolves every reference of the stored pages and style sheets as a
     browser reads them from disk: broken local references, and references
     left pointing at the server;
  2. renders a sample of pages in headless Chromium, the original over http
     and the copy from disk with the network cut off, and compares the
     screenshots pixel by pixel;
  3. renders the copy of each sampled page once more with the server
     reachable and counts the requests that reach it.
Every address but the server this script starts is unreachable to Chromium.
"""

import argparse
import os
import random
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import urllib.error
import urllib.request

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, here)
sys.path.insert(0, os.path.join(here, "..", "site"))
import links  # noqa: E402
from measure import count_files, host_dir, print_table  # noqa: E402

REPO = os.path.abspath(os.path.join(here, "..", ".."))
DOC_PACKAGE = "python3.11-doc"
CHROMIUM_FLAGS = [
    "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
    "--disable-background-networking", "--disable-component-update", "--disable-sync",
    "--hide-scrollbars", "--window-size=1280,2000",
    # No name resolves: nothing can leave the machine even past the proxy.
    "--host-resolver-rules=MAP * ~NOTFOUND, EXCLUDE 127.0.0.1",
]


def log(msg):
    print(msg, file=sys.stderr, flush=True)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def default_root():
    """The HTML tree of python3.11-doc, found through dpkg's file list."""
    try:
        files = subprocess.run(["dpkg", "-L", DOC_PACKAGE], capture_output=True, text=True,
                               check=True).stdout.split()
    except (OSError, subprocess.CalledProcessError):
        files = []
    tops = sorted((f for f in files if f.endswith("/html")
                   and os.path.isfile(os.path.join(f, "index.html"))), key=len)
    if not tops:
        sys.exit("fidelity.py: no %s; run bench/offline/install-offline-deps.sh as root, "
                 "or give --root" % DOC_PACKAGE)
    return tops[0]


def find_quarn_cli(given, work):
    """quarn-cli from --quarn-cli, $QUARN_CLI, build-release/ or build/, copied
    into the work folder so that a rebuild during the run changes nothing."""
    given = given or os.environ.get("QUARN_CLI")
    for c in [given] if given else [os.path.join(REPO, d, "quarn-cli")
                                    for d in ("build-release", "build")]:
        if os.access(c, os.X_OK):
            copy = os.path.join(work, "quarn-cli")
            shutil.copy2(c, copy)
            out = subprocess.run([copy, "--help"], capture_output=True, text=True)
            if "mirror" in out.stdout + out.stderr:
                return c, copy
    return None, None


class Nginx:
    """nginx serving `root` on a free port of 127.0.0.1, with its configuration,
    pid file and logs in `prefix`. The access log has "METHOD STATUS BYTES URI"
    per request. Symbolic links are followed wherever they lead (nginx's
    default), as the doc packages link their scripts into /usr/share/javascript."""

    def __init__(self, root, prefix):
        self.root, self.prefix = os.path.abspath(root), prefix
        self.port = free_port()
        self.netloc = "127.0.0.1:%d" % self.port
        self.access_log = os.path.join(prefix, "access.log")

    def __enter__(self):
        p = self.prefix
        os.makedirs(os.path.join(p, "tmp"), exist_ok=True)
        open(self.access_log, "w").close()
        types = "include /etc/nginx/mime.types;" if os.path.isfile("/etc/nginx/mime.types") else \
            "types { text/html html htm; text/css css; application/javascript js; " \
            "image/png png; image/gif gif; image/jpeg jpg jpeg; image/svg+xml svg; }"
        conf = os.path.join(p, "nginx.conf")
        with open(conf, "w") as f:
            f.write("""daemon on;
worker_processes 1;
pid {p}/nginx.pid;
error_log {p}/error.log warn;
events {{ worker_connections 1024; }}
http {{
  {types}
  default_type application/octet-stream;
  log_format fidelity '$request_method $status $body_bytes_sent $request_uri';
  access_log {log} fidelity;
  client_body_temp_path {p}/tmp/body;
  proxy_temp_path {p}/tmp/proxy;
  fastcgi_temp_path {p}/tmp/fastcgi;
  uwsgi_temp_path {p}/tmp/uwsgi;
  scgi_temp_path {p}/tmp/scgi;
  sendfile on;
  keepalive_requests 1000000;
  server {{
    listen {netloc};
    root {root};
    index index.html;
  }}
}}
""".format(p=p, types=types, log=self.access_log, netloc=self.netloc, root=self.root))
        nginx = shutil.which("nginx") or "/usr/sbin/nginx"
        subprocess.run([nginx, "-p", p + "/", "-c", conf, "-e", os.path.join(p, "error.log")],
                       check=True)
        for _ in range(100):
            try:
                socket.create_connection(("127.0.0.1", self.port), timeout=1).close()
                return self
            except OSError:
                time.sleep(0.1)
        raise RuntimeError("nginx does not listen on %s" % self.netloc)

    def __exit__(self, *exc):
        # nginx removes its pid file as it exits; the process itself may stay a
        # zombie for a while, as it is not our child.
        pid_file = os.path.join(self.prefix, "nginx.pid")
        try:
            with open(pid_file) as f:
                os.kill(int(f.read()), 15)
        except (OSError, ValueError):
            return
        for _ in range(500):
            if not os.path.exists(pid_file):
                break
            time.sleep(0.01)

    def requests(self):
        with open(self.access_log, errors="replace") as f:
            return f.read().splitlines()


def mirror(tool, url, out, quarn_cli, workers, timeout, logfile):
    """Runs one tool; returns (exit code, wall seconds)."""
    os.makedirs(out, exist_ok=True)
    if tool == "quarn":
        cmd = [quarn_cli, "mirror", url, "--workers", str(workers), "--sites-dir", out, "--quiet"]
    else:
        cmd = ["wget2", "--recursive", "--level=inf", "--max-threads=%d" % workers, "--no-robots",
               "--convert-links", "--page-requisites", "--no-verbose", "-P", out, url]
    log("--- mirroring with %s: %s" % (tool, " ".join(cmd)))
    t0 = time.monotonic()
    with open(logfile, "w") as f:
        try:
            rc = subprocess.run(cmd, stdout=f, stderr=subprocess.STDOUT, timeout=timeout).returncode
        except subprocess.TimeoutExpired:
            rc = "timeout"
    return rc, time.monotonic() - t0


def stored_page(top, rel):
    """The copy of page `rel` below `top`; a folder's start page may carry the
    tool's own default-document name (index.htm for quarn-cli)."""
    folder, name = os.path.split(rel)
    names = [name] + (["index.html", "index.htm"] if name in ("index.html", "index.htm") else [])
    for n in names if top else []:
        if os.path.isfile(os.path.join(top, folder, n)):
            return os.path.join(top, folder, n)
    return None


class Browser:
    """Headless Chromium, a fresh profile per page. All traffic goes to a proxy
    nobody listens on, loopback included (<-loopback>), except the one server
    named in `reach`; so offline means offline and online means our server only."""

    def __init__(self, work, budget_ms, timeout):
        self.work, self.budget_ms, self.timeout = work, budget_ms, timeout
        self.dead_proxy = "127.0.0.1:%d" % free_port()
        self.binary = shutil.which("chromium") or shutil.which("chromium-browser")
        self.log = open(os.path.join(work, "chromium.log"), "a")

    def render(self, url, reach=None, shot=None):
        """Loads `url`; takes a screenshot to `shot` or, without one, just
        loads it. Returns whether Chromium finished in time."""
        profile = tempfile.mkdtemp(prefix="profile-", dir=self.work)
        bypass = "<-loopback>" + (";" + reach if reach else "")
        cmd = [self.binary] + CHROMIUM_FLAGS + [
            "--user-data-dir=" + profile, "--proxy-server=" + self.dead_proxy,
            "--proxy-bypass-list=" + bypass, "--virtual-time-budget=%d" % self.budget_ms,
            "--screenshot=" + shot if shot else "--dump-dom", url]
        proc = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=self.log,
                                start_new_session=True)
        ok = False
        try:
            proc.wait(timeout=self.timeout)
            ok = shot is None or os.path.isfile(shot)
        except subprocess.TimeoutExpired:
            pass
        finally:   # also when interrupted: no helper may outlive the render
            try:
                os.killpg(proc.pid, 9)   # its own session: the browser and its helpers
            except ProcessLookupError:
                pass
            proc.wait()
            shutil.rmtree(profile, ignore_errors=True)
        return ok


def diff_share(a_path, b_path, tolerance=0, diff_out=None):
    """Share of pixels (0..1) whose colour differs in any channel by more than
    `tolerance`; sizes that differ are padded with white. With diff_out, writes
    the first image faded with the differing pixels in red."""
    from PIL import Image, ImageChops
    a = Image.open(a_path).convert("RGB")
    b = Image.open(b_path).convert("RGB")
    w, h = max(a.width, b.width), max(a.height, b.height)
    a, b = (_pad(i, w, h, Image) for i in (a, b))
    r, g, bl = ImageChops.difference(a, b).split()
    mask = ImageChops.lighter(ImageChops.lighter(r, g), bl).point(
        lambda v: 255 if v > tolerance else 0)
    changed = mask.histogram()[255]
    if diff_out:
        faded = Image.blend(a, Image.new("RGB", a.size, "white"), 0.75)
        faded.paste((255, 0, 0), mask=mask)
        faded.save(diff_out)
    return changed / float(w * h)


def _pad(img, w, h, Image):
    if img.size == (w, h):
        return img
    canvas = Image.new("RGB", (w, h), "white")
    canvas.paste(img, (0, 0))
    return canvas


def sample_pages(pages, start, n, seed):
    """The start page and n-1 others, the same for the same tree and seed."""
    rest = sorted(p for p in pages if p != start)
    return [start] + sorted(random.Random(seed).sample(rest, min(n - 1, len(rest))))


def server_requests_since(server, before):
    """Log lines nginx added after `before` lines, once the log stops growing
    (a request Chromium abandoned is logged when nginx notices the close)."""
    lines, waited = server.requests(), 0
    while waited < 10:
        time.sleep(0.1)
        again = server.requests()
        if len(again) == len(lines):
            break
        lines, waited = again, waited + 1
    return lines[before:]


def render_sample(args, server, sample, tops, work):
    """Screenshots and compares the sampled pages. Returns per page
    {"online again": share, tool: share, or None when the tool stored no copy}
    (a copy that does not render counts as all different) and per tool a list
    of (page, requests the server logged while the copy was shown)."""
    browser = Browser(work, args.budget, args.render_timeout)
    results, asked = {}, {t: [] for t in tops}

    def path(kind, folder, name):   # work/shots/online/00-index.html.png and the like
        os.makedirs(os.path.join(work, kind, folder), exist_ok=True)
        return os.path.join(work, kind, folder, name)

    def compare(a, b, folder, name):
        return diff_share(a, b, args.tolerance,
                          path("diffs", folder, name) if args.keep else None)

    for i, rel in enumerate(sample):
        name = "%02d-%s.png" % (i, rel.replace("/", "_"))
        url = links.page_url(os.path.join(server.root, rel), server.netloc, server.root)
        online, again = path("shots", "online", name), path("shots", "online-again", name)
        if not (browser.render(url, server.netloc, online) and
                browser.render(url, server.netloc, again)):
            log("    the original of %s did not render; left out" % rel)
            continue
        row = results[rel] = {"online again": compare(online, again, "online-again", name)}
        for tool, top in tops.items():
            copy = stored_page(top, rel)
            if copy is None:
                row[tool] = None
                continue
            curl, offline = links.page_url(copy, server.netloc), path("shots", tool, name)
            row[tool] = (compare(online, offline, tool, name)
                         if browser.render(curl, None, offline) else 1.0)
            before = len(server.requests())
            browser.render(curl, server.netloc)
            asked[tool].append((rel, server_requests_since(server, before)))
        log("    %2d/%d %s" % (i + 1, len(sample), rel))
    return results, asked


def report_links(checks):
    keys = ["pages", "sheets", "ok", "broken_requisite", "broken_link",
            "server_requisite", "server_link", "other", "outside"]
    print("\nReferences in the stored pages and style sheets, resolved as a browser reads "
          "them (the original over http, each copy from disk):")
    print_table(["tree", "pages", "style sheets", "local ok", "broken requisites",
                 "broken links", "requisites on server", "links on server", "other hosts",
                 "outside the copy"],
                [[name] + [str(c.get(k, 0)) for k in keys] for name, c in checks.items()])
    for name, c in checks.items():
        for key, found in sorted(c["examples"].items()):
            for n, where, url in found:
                print("  %s %s x%d: %s (in %s)" % (name, key.replace("_", " "), n, url, where))


def report_render(results, asked, tools, threshold):
    pct = threshold * 100
    print("\nRendered pages, the copy from disk with the network cut off against the "
          "original over http (same: under %.2f %% of the pixels differ):" % pct)
    rows = []
    for tool in tools:
        shares = [r[tool] for r in results.values()]
        same = sum(1 for s in shares if s is not None and s < threshold)
        reqs = [n for _, n in asked[tool]]
        rows.append([tool, "%d/%d" % (same, len(shares)),
                     str(sum(1 for s in shares if s is None)),
                     str(sum(1 for n in reqs if n)), str(sum(len(n) for n in reqs))])
    print_table(["tool", "pages same", "not stored", "pages asking the server",
                 "server requests"], rows)
    print("\nDiffering pixels per page, % (\"online again\": the original rendered twice):")
    cols = ["online again"] + tools
    if not results:
        return
    print_table(["page"] + cols,
                [[rel] + ["not stored" if r.get(c) is None else "%.2f" % (100 * r[c])
                          for c in cols] for rel, r in results.items()])
    for tool in tools:
        seen = {}
        for rel, lines in asked[tool]:
            for line in lines:
                seen.setdefault(line.split()[-1], rel)
        for uri, rel in list(seen.items())[:5]:
            print("  %s: viewing %s asks the server for %s" % (tool, rel, uri))
        if len(seen) > 5:
            print("  %s: ... %d different addresses in all" % (tool, len(seen)))


def add_render_options(ap):
    """The options of how pages are compared and how long tools and renders may take."""
    ap.add_argument("--threshold", type=float, default=0.5,
                    help="percent of differing pixels below which a page looks the same")
    ap.add_argument("--tolerance", type=int, default=0,
                    help="colour difference per channel (0-255) still counted as equal")
    ap.add_argument("--budget", type=int, default=3000,
                    help="virtual milliseconds a page may run its scripts before the shot")
    ap.add_argument("--render-timeout", type=int, default=60)
    ap.add_argument("--mirror-timeout", type=int, default=1800)


def parse_args(argv):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--root", help="static tree to serve (default: the %s HTML tree)" % DOC_PACKAGE)
    ap.add_argument("--start", default="index.html", help="start page below --root")
    ap.add_argument("--tools", default="quarn,wget2", help="quarn and/or wget2, by commas")
    ap.add_argument("--quarn-cli", help="quarn-cli binary (default: $QUARN_CLI, "
                    "build-release/quarn-cli, build/quarn-cli)")
    ap.add_argument("--workers", type=int, default=8)
    ap.add_argument("--sample", type=int, default=20, help="pages to render (default 20)")
    ap.add_argument("--seed", type=int, default=1, help="chooses the sampled pages")
    add_render_options(ap)
    ap.add_argument("--skip-render", action="store_true", help="only mirror and check links")
    ap.add_argument("--keep", action="store_true",
                    help="keep the work folder: copies, screenshots, diff images, logs")
    args = ap.parse_args(argv)
    args.tools = [t for t in args.tools.split(",") if t]
    bad = set(args.tools) - {"quarn", "wget2"}
    if bad or args.sample < 1 or not 0 <= args.tolerance <= 255:
        ap.error("unknown tool %s" % ", ".join(bad) if bad else "bad --sample or --tolerance")
    args.threshold /= 100.0
    return args


def has_pillow():
    try:
        import PIL  # noqa: F401
    except ImportError:
        return False
    return True


def check_setup(args, work):
    """Leaves out tools that are missing; stops when nothing can run."""
    needs = ["nginx"] + ([] if args.skip_render else ["chromium"])
    missing = [c for c in needs if not (shutil.which(c) or os.path.exists("/usr/sbin/" + c))]
    if not args.skip_render and not has_pillow():
        missing.append("Pillow for %s" % sys.executable)
    if missing:
        sys.exit("fidelity.py: missing %s; run bench/offline/install-offline-deps.sh as root "
                 "(Pillow is Debian's python3-pil, for /usr/bin/python3)" % ", ".join(missing))
    if "quarn" in args.tools:
        args.quarn_cli_source, args.quarn_cli = find_quarn_cli(args.quarn_cli, work)
        if not args.quarn_cli:
            log("fidelity.py: no quarn-cli with a mirror command (set QUARN_CLI); leaving it out")
            args.tools.remove("quarn")
    if "wget2" in args.tools and not shutil.which("wget2"):
        log("fidelity.py: no wget2; leaving it out")
        args.tools.remove("wget2")


def mirror_all(args, url, work):
    """Mirrors `url` with each tool; returns the rows of the runs' table and
    each tool's folder for the server (None when it stored nothing)."""
    runs, tops = [], {}
    os.makedirs(os.path.join(work, "logs"))
    for tool in args.tools:
        out = os.path.join(work, "out-" + tool)
        rc, wall = mirror(tool, url, out, args.quarn_cli, args.workers, args.mirror_timeout,
                          os.path.join(work, "logs", tool + ".log"))
        tops[tool] = host_dir(out)
        files = count_files(tops[tool])[0] if tops[tool] else 0
        runs.append([tool, str(rc), "%.1f" % wall, str(files)])
    return runs, tops


def check_all(server, tops, work):
    """The original's references as served, each copy's as read from disk."""
    checks = {"original": links.check_tree(server.root, server.netloc, server.root)}
    for tool, top in tops.items():
        out = os.path.join(work, "out-" + tool)
        checks[tool] = links.check_tree(top, server.netloc, bound=out) if top else {"examples": {}}
    return checks


def run(args, work):
    check_setup(args, work)
    root = os.path.abspath(args.root or default_root())
    if not os.path.isfile(os.path.join(root, args.start)):
        sys.exit("fidelity.py: no start page %s below %s" % (args.start, root))
    with Nginx(root, os.path.join(work, "nginx")) as server:
        url = links.page_url(os.path.join(root, args.start), server.netloc, root)
        try:
            urllib.request.urlopen(url, timeout=10).close()
        except urllib.error.URLError as e:
            sys.exit("fidelity.py: %s answers %s; can nginx's workers read %s?" % (url, e, root))
        log("Serving %s at %s" % (root, url))
        if "quarn" in args.tools:
            log("quarn-cli: %s" % args.quarn_cli_source)
        t0 = time.monotonic()
        runs, tops = mirror_all(args, url, work)
        t_mirror = time.monotonic()
        log("--- resolving references")
        pages = links.reachable_pages(root, args.start, server.netloc)
        checks = check_all(server, tops, work)
        t_links = time.monotonic()
        print("Mirrors of %s (%d pages reachable from the start page, %d files in the tree):"
              % (url, len(pages), count_files(root)[0]))
        print_table(["tool", "exit", "wall s", "files"], runs)
        report_links(checks)
        if not args.skip_render:
            sample = sample_pages(pages, args.start, args.sample, args.seed)
            log("--- rendering %d pages" % len(sample))
            results, asked = render_sample(args, server, sample, tops, work)
            report_render(results, asked, args.tools, args.threshold)
        t_end = time.monotonic()
    print("\nTime: mirroring %.0f s, references %.0f s, rendering %.0f s, in all %.0f s"
          % (t_mirror - t0, t_links - t_mirror, t_end - t_links, t_end - t0))


def main(argv=None):
    args = parse_args(argv)
    # A plain kill unwinds like Ctrl+C: nginx is stopped, the work folder removed.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    work = tempfile.mkdtemp(prefix="quarn-offline-", dir=os.environ.get("TMPDIR", "/tmp"))
    os.chmod(work, 0o755)   # nginx's workers may run as another user
    try:
        run(args, work)
    except KeyboardInterrupt:
        return 130
    finally:
        if args.keep:
            log("Kept %s" % work)
        else:
            shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())

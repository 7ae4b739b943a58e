#!/usr/bin/python3
"""Copies with pages' scripts run: what they cost and whether the copy works.

Generates a site whose pages need their scripts (a list filled by fetch(), an image
set on scroll, a module that imports another; five special pages as in the test
suite), serves it with nginx on 127.0.0.1, copies it with quarn-cli with and
without --run-scripts, and reports the wall time, the script runner's pages per
second and the peak memory of quarn-render and of its browser processes. Then it
stops nginx, serves the copy with `quarn-cli serve`, and loads the special pages
in headless Chromium, which can reach nothing but the copy, reading each page's
#out element from the resulting DOM.

With --python-docs it copies python3.11-doc's HTML instead and searches the served
copy for "asyncio".
"""

import argparse
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "offline"))
sys.path.insert(0, os.path.join(HERE, "..", "site"))
from fidelity import CHROMIUM_FLAGS, Nginx, default_root, free_port, log  # noqa: E402

SPECIAL = {
    "search.html": "found 3",
    "list.html": "alpha,beta",
    "lazy.html": "late image shown",
    "module.html": "module ok",
    "worker.html": "worker ok",
}

PNG = bytes.fromhex(
    "89504e470d0a1a0a0000000d4948445200000001000000010802000000907753de0000000c4944415478"
    "9c63f8cfc0000003010100c9fe92ef0000000049454e44ae426082")


def page(body, title="page"):
    return ('<!DOCTYPE html>\n<html><head><meta charset="utf-8"><title>%s</title></head>'
            '<body><div id="out"></div>%s</body></html>' % (title, body))


def write(root, rel, data):
    path = os.path.join(root, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data.encode() if isinstance(data, str) else data)


def generate(root, pages):
    """The five special pages, then `pages` ordinary ones that each fetch their own
    JSON, set a lazy image on scroll and run a module."""
    write(root, "search.html", page('<script src="searchtools.js"></script>'
                                    "<script>runSearch('asyncio');</script>"))
    write(root, "searchtools.js", "function runSearch(w){const s=document.createElement('script');"
          "s.src='search'+'index.js';s.onload=()=>{document.getElementById('out').textContent="
          "'found '+(Index.terms[w]||[]).length};document.head.appendChild(s);}\n")
    write(root, "searchindex.js", "var Index={terms:{asyncio:[1,2,3]}};\n")
    write(root, "list.html", page("<script>fetch('data/'+'list.json').then(r=>r.json()).then("
                                  "i=>{document.getElementById('out').textContent=i.join(',')})"
                                  "</script>"))
    write(root, "data/list.json", '["alpha", "beta"]')
    # Set when scrolled into view; the check below opens pages in a window tall enough to
    # show it at once, as headless Chromium cannot scroll.
    lazy = ('<div style="height:4000px"></div><img id="late" width="10" height="10"><script>'
            'const late=document.getElementById("late");late.onload=()=>{'
            'document.getElementById("out").textContent="late image shown"};'
            'new IntersectionObserver((e,o)=>{if(e[0].isIntersecting){late.src=%s;o.disconnect()}})'
            '.observe(late)</script>')
    write(root, "lazy.html", page(lazy % "'img/'+'late.png'"))
    write(root, "img/late.png", PNG)
    # .js rather than .mjs: nginx's type table has no .mjs, and a module served as
    # application/octet-stream does not run, on the original either.
    write(root, "module.html", page('<script type="module" src="js/main.js"></script>'))
    write(root, "js/main.js", "import {word} from './util.js';\n"
          "document.getElementById('out').textContent='module '+word;\n")
    write(root, "js/util.js", "export const word='ok';\n")
    write(root, "worker.html", page("<script>const w=new Worker('js/work'+'er.js');w.onmessage="
                                    "e=>{document.getElementById('out').textContent='worker '+"
                                    "e.data}</script>"))
    write(root, "js/worker.js", "importScripts('helper.js');postMessage(helperWord);\n")
    write(root, "js/helper.js", "var helperWord='ok';\n")
    links = " ".join('<a href="%s">%s</a>' % (p, p) for p in SPECIAL)
    links += " ".join('<a href="p/%d.html">%d</a>' % (i, i) for i in range(pages))
    write(root, "index.html", page(links, "start"))
    for i in range(pages):
        body = ("<script>fetch('../d/'+'%d.json').then(r=>r.json()).then(v=>{"
                "document.getElementById('out').textContent=v.n})</script>" % i)
        body += lazy % ("'../i/'+'%d.png'" % i)
        body += '<script type="module" src="../js/main.js"></script>'
        write(root, "p/%d.html" % i, page(body, "page %d" % i))
        write(root, "d/%d.json" % i, '{"n": %d}' % i)
        write(root, "i/%d.png" % i, PNG)


class PeakMemory:
    """Polls /proc for quarn-render and the browser processes below it: the peak
    resident size of quarn-render itself and the peak sum over the whole tree, in MB."""

    def __init__(self):
        self.render, self.tree, self.stop = 0.0, 0.0, threading.Event()
        self.thread = threading.Thread(target=self.run, daemon=True)

    @staticmethod
    def status(pid):
        fields = {}
        try:
            with open("/proc/%d/status" % pid) as f:
                for line in f:
                    key, _, value = line.partition(":")
                    fields[key] = value.strip()
        except OSError:
            pass
        return fields

    def run(self):
        while not self.stop.wait(0.1):
            procs = {}
            for name in os.listdir("/proc"):
                if name.isdigit():
                    st = self.status(int(name))
                    if st:
                        procs[int(name)] = st
            roots = [p for p, st in procs.items() if st.get("Name") == "quarn-render"]
            tree, total = set(roots), 0.0
            changed = True
            while changed:
                changed = False
                for p, st in procs.items():
                    if p not in tree and int(st.get("PPid", "0")) in tree:
                        tree.add(p)
                        changed = True
            for p in tree:
                total += int(procs[p].get("VmRSS", "0 kB").split()[0]) / 1024
            for p in roots:
                hwm = int(procs[p].get("VmHWM", "0 kB").split()[0]) / 1024
                self.render = max(self.render, hwm)
            self.tree = max(self.tree, total)

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *exc):
        self.stop.set()
        self.thread.join()


def mirror(cli, url, sites, name, extra, logfile):
    cmd = [cli, "mirror", url, "--name", name, "--sites-dir", sites, "--workers", "4"] + extra
    log("--- " + " ".join(cmd))
    t0 = time.monotonic()
    with open(logfile, "w") as f:
        rc = subprocess.run(cmd, stdout=f, stderr=subprocess.STDOUT).returncode
    return rc, time.monotonic() - t0


def dump_dom(url, reach, work, budget_ms=5000):
    """The DOM headless Chromium shows for url, reaching nothing but `reach`."""
    profile = tempfile.mkdtemp(prefix="profile-", dir=work)
    dead = "127.0.0.1:%d" % free_port()
    cmd = [shutil.which("chromium")] + CHROMIUM_FLAGS + [
        "--user-data-dir=" + profile, "--proxy-server=" + dead,
        "--proxy-bypass-list=<-loopback>;" + reach, "--virtual-time-budget=%d" % budget_ms,
        "--window-size=1280,6000",
        "--dump-dom", url]
    proc = subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                            start_new_session=True)
    try:
        out, _ = proc.communicate(timeout=60)
    except subprocess.TimeoutExpired:
        out = b""
    finally:
        try:
            os.killpg(proc.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        shutil.rmtree(profile, ignore_errors=True)
    return out.decode(errors="replace")


def out_text(dom):
    match = re.search(r'<div id="out">(.*?)</div>', dom, re.S)
    return match.group(1) if match else ""


def serve(cli, folder):
    port = free_port()
    proc = subprocess.Popen([cli, "serve", folder, "--port", str(port)],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(0.5)
    return proc, "127.0.0.1:%d" % port


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--quarn-cli", default=os.environ.get("QUARN_CLI", "build-release/quarn-cli"))
    ap.add_argument("--pages", type=int, default=500)
    ap.add_argument("--python-docs", action="store_true")
    ap.add_argument("--keep", action="store_true")
    args = ap.parse_args()
    cli = os.path.abspath(args.quarn_cli)
    work = tempfile.mkdtemp(prefix="script-copy-")
    os.chmod(work, 0o755)  # nginx's workers read the generated site as another user
    sites = os.path.join(work, "sites")
    root = default_root() if args.python_docs else os.path.join(work, "www")
    if not args.python_docs:
        generate(root, args.pages)
    start = "index.html"
    with Nginx(root, os.path.join(work, "nginx")) as server:
        url = "http://%s/%s" % (server.netloc, start)
        rc, plain = mirror(cli, url, sites, "plain", [], os.path.join(work, "plain.log"))
        log("without scripts: exit %s, %.2f s" % (rc, plain))
        with PeakMemory() as memory:
            rc, scripted = mirror(cli, url, sites, "scripts", ["--run-scripts"],
                                  os.path.join(work, "scripts.log"))
        # The runner runs every stored page once.
        done = sum(name.endswith((".html", ".htm"))
                   for _, _, names in os.walk(os.path.join(sites, "scripts")) for name in names)
        log("with --run-scripts: exit %s, %.2f s, %d pages run, %.1f pages/s; "
            "peak RSS quarn-render %.1f MB, with its browser processes %.1f MB"
            % (rc, scripted, done, done / scripted if scripted else 0, memory.render, memory.tree))
    # nginx is gone: the copy alone answers now.
    folder = os.path.join(sites, "scripts")
    proc, netloc = serve(cli, folder)
    try:
        base = "http://%s/127.0.0.1/" % netloc
        if args.python_docs:
            dom = dump_dom(base + "search.html?q=asyncio", netloc, work, 15000)
            hits = len(re.findall(r"<li>", dom.split('id="search-results"', 1)[-1]))
            log("search for asyncio in the served copy: %d results" % hits)
        else:
            for name, expected in SPECIAL.items():
                got = out_text(dump_dom(base + name, netloc, work))
                log("%-12s %-18s %s" % (name, repr(got), "works" if got == expected else "FAILS"))
    finally:
        proc.terminate()
        proc.wait()
    if args.keep:
        log("kept " + work)
    else:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Generates a test web site of N pages for the mirroring benchmark.

Layout of OUT:
  www/             the document root
  redirects.conf   nginx `location =` rules for the redirecting addresses
  manifest.json    what was generated (counts, redirect table)

The pages sit in nested section folders. Every folder's index page links all
pages of its folder and its sub-folders (as "sec12/" directory links), so every
page is reachable from www/index.html through that tree. Each page also carries
cross links to other pages, a stylesheet, images, and now and then a link that
answers 404, a link to another host, or a link that the server redirects.

The same seed gives the same site, so runs can be compared.
"""

import argparse
import json
import os
import posixpath
import random
import re
import struct
import sys
import zlib
from collections import deque
from urllib.parse import urljoin, urlsplit

PAGES_PER_DIR = 20      # the folder's index page included
SUBDIRS_PER_DIR = 4
CROSS_LINKS = 3
EXTERNAL_HOST = "external.invalid"
REDIRECT_DIR = "redirect"
FILE_TIME = 1704067200      # 2024-01-01 00:00:00 UTC, every file's modification time

WORDS = ("mirror crawl page link folder server answer copy local image style "
         "update worker index section archive record list table value host "
         "address request header body stream").split()


def png_bytes(shade):
    """A valid 2x2 grey PNG; the shade makes files of different folders differ."""
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    raw = b"".join(b"\x00" + bytes([shade]) * 2 for _ in range(2))
    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", 2, 2, 8, 0, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def gif_bytes(shade):
    """A valid 1x1 GIF with a two-colour palette."""
    return (b"GIF89a\x01\x00\x01\x00\x80\x00\x00" +
            bytes([shade, shade, shade]) + b"\xff\xff\xff" +
            b"!\xf9\x04\x01\x00\x00\x00\x00" +
            b",\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02D\x01\x00;")


class Site:
    def __init__(self, pages, seed):
        if pages < 1:
            raise ValueError("a site has at least one page")
        self.rng = random.Random(seed)
        self.pages = pages
        ndirs = (pages + PAGES_PER_DIR - 1) // PAGES_PER_DIR
        # Folder 0 is the root; folder k hangs below (k-1)//SUBDIRS_PER_DIR.
        self.dir_path = ["" if k == 0 else None for k in range(ndirs)]
        for k in range(1, ndirs):
            parent = (k - 1) // SUBDIRS_PER_DIR
            self.dir_path[k] = self.dir_path[parent] + "sec%d/" % k
        self.children = [[] for _ in range(ndirs)]
        for k in range(1, ndirs):
            self.children[(k - 1) // SUBDIRS_PER_DIR].append(k)
        # Page i lives in folder i // PAGES_PER_DIR; the first page of a folder
        # is its index page.
        self.page_path = []
        for i in range(pages):
            d = i // PAGES_PER_DIR
            first = i % PAGES_PER_DIR == 0
            self.page_path.append(self.dir_path[d] + ("index.html" if first else "p%d.html" % i))
        self.redirects = []     # (address path, code, target path)

    def link_path(self, i):
        """How pages address page i: folder index pages by their folder (except
        the root, which is the start address www/index.html)."""
        p = self.page_path[i]
        if i % PAGES_PER_DIR == 0 and i != 0:
            return p[: -len("index.html")]
        return p

    def image_path(self, d):
        return self.dir_path[d] + ("img%d.png" % d if d % 2 == 0 else "img%d.gif" % d)

    @staticmethod
    def rel(from_page, target):
        """Relative link from the page at from_page (site path) to target."""
        base = posixpath.dirname(from_page) or "."
        is_dir = target.endswith("/") or target == ""
        r = posixpath.relpath(target.rstrip("/") or ".", base)
        if is_dir:
            r = "./" if r == "." else r + "/"
        return r

    def make_redirects(self):
        count = max(5, self.pages // 50)
        for n in range(count):
            path = "%s/r%d.html" % (REDIRECT_DIR, n)
            if n % 10 == 9:
                # A short chain: this one points at the previous redirect.
                target = self.redirects[-1][0]
            else:
                target = self.link_path(self.rng.randrange(self.pages))
            self.redirects.append((path, 301 if n % 2 == 0 else 302, target))

    def page_html(self, i):
        rng = self.rng
        me = self.page_path[i]
        d = i // PAGES_PER_DIR
        out = ["<!DOCTYPE html>", "<html><head>",
               '<meta charset="utf-8">', "<title>Page %d</title>" % i,
               '<link rel="stylesheet" href="%s">' % self.rel(me, "style.css"),
               "</head><body>",
               '<img src="%s" alt="logo">' % self.rel(me, "img/logo.png"),
               "<h1>Page %d</h1>" % i]
        links = []
        if i % PAGES_PER_DIR == 0:
            # Folder index: the tree that makes every page reachable.
            first = d * PAGES_PER_DIR
            for j in range(first + 1, min(first + PAGES_PER_DIR, self.pages)):
                links.append(self.rel(me, self.link_path(j)))
            for c in self.children[d]:
                links.append(self.rel(me, self.dir_path[c]))
            if d != 0:
                parent = (d - 1) // SUBDIRS_PER_DIR
                links.append(self.rel(me, self.link_path(parent * PAGES_PER_DIR)))
        else:
            links.append(self.rel(me, self.link_path(d * PAGES_PER_DIR)))
        for _ in range(CROSS_LINKS):
            links.append(self.rel(me, self.link_path(rng.randrange(self.pages))))
        if i % 10 == 3:
            links.append(self.rel(me, self.dir_path[d] + "missing%d.html" % i))
        if i % 5 == 1:
            links.append("http://%s/page%d.html" % (EXTERNAL_HOST, i))
        if i % 7 == 2 and self.redirects:
            links.append(self.rel(me, rng.choice(self.redirects)[0]))
        out.append("<ul>")
        out += ['<li><a href="%s">link %d</a></li>' % (h, n) for n, h in enumerate(links)]
        out.append("</ul>")
        out.append('<p><img src="%s" alt="picture"></p>' % self.rel(me, self.image_path(d)))
        words = [rng.choice(WORDS) for _ in range(rng.randrange(200, 500))]
        for k in range(0, len(words), 60):
            out.append("<p>%s.</p>" % " ".join(words[k:k + 60]))
        out.append("</body></html>\n")
        return "\n".join(out)

    def write(self, out_dir):
        www = os.path.join(out_dir, "www")
        os.makedirs(os.path.join(www, "img"), exist_ok=True)
        self.make_redirects()
        files = []

        def put(path, data):
            full = os.path.join(www, path)
            os.makedirs(os.path.dirname(full), exist_ok=True)
            with open(full, "wb") as f:
                f.write(data)
            # Last-Modified has whole seconds: a file made in the second the
            # first crawl stores it would look changed to the update crawl.
            os.utime(full, (FILE_TIME, FILE_TIME))
            files.append(path)

        put("style.css", b"body { font-family: sans-serif; margin: 2em; }\n"
                         b"h1 { color: #345; }\nli { line-height: 1.4; }\n")
        put("img/logo.png", png_bytes(128))
        for d in range(len(self.dir_path)):
            shade = 16 + d % 200
            put(self.image_path(d), png_bytes(shade) if d % 2 == 0 else gif_bytes(shade))
        for i in range(self.pages):
            put(self.page_path[i], self.page_html(i).encode("utf-8"))

        with open(os.path.join(out_dir, "redirects.conf"), "w") as f:
            for path, code, target in self.redirects:
                f.write("location = /%s { return %d /%s; }\n" % (path, code, target))
        manifest = {
            "pages": self.pages,
            "folders": len(self.dir_path),
            "files": len(files),
            "images": len(self.dir_path) + 1,
            "redirects": [{"path": p, "code": c, "target": t} for p, c, t in self.redirects],
            "missing_links": sum(1 for i in range(self.pages) if i % 10 == 3),
            "external_links": sum(1 for i in range(self.pages) if i % 5 == 1),
            "external_host": EXTERNAL_HOST,
        }
        with open(os.path.join(out_dir, "manifest.json"), "w") as f:
            json.dump(manifest, f, indent=1)
        return manifest


LINK_RE = re.compile(r'(?:href|src)="([^"]*)"', re.I)


def crawl_generated(out_dir):
    """Walks the generated site from index.html the way a crawler on the start
    host would, and returns (files reached, every file in www)."""
    www = os.path.join(out_dir, "www")
    with open(os.path.join(out_dir, "manifest.json")) as f:
        redirects = {"/" + r["path"]: "/" + r["target"] for r in json.load(f)["redirects"]}
    base = "http://site.test"
    seen, reached = set(), set()
    queue = deque(["/index.html"])
    while queue:
        path = queue.popleft()
        if path in seen:
            continue
        seen.add(path)
        hops = 0
        while path in redirects and hops < 20:
            path, hops = redirects[path], hops + 1
        local = path + "index.html" if path.endswith("/") else path
        full = os.path.join(www, local.lstrip("/"))
        if not os.path.isfile(full):
            continue
        reached.add(local.lstrip("/"))
        if local.endswith(".html"):
            with open(full, encoding="utf-8") as f:
                for href in LINK_RE.findall(f.read()):
                    u = urlsplit(urljoin(base + path, href))
                    if u.scheme + "://" + u.netloc == base:
                        queue.append(u.path)
    every = set()
    for root, _, names in os.walk(www):
        for n in names:
            every.add(os.path.relpath(os.path.join(root, n), www).replace(os.sep, "/"))
    return reached, every


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--pages", type=int, default=1000, help="number of HTML pages (default 1000)")
    ap.add_argument("--out", required=True, help="output folder (www/ and redirects.conf go there)")
    ap.add_argument("--seed", type=int, default=1, help="random seed (default 1)")
    args = ap.parse_args(argv)
    os.makedirs(args.out, exist_ok=True)
    if os.listdir(args.out):
        ap.error("%s is not empty" % args.out)
    manifest = Site(args.pages, args.seed).write(args.out)
    reached, every = crawl_generated(args.out)
    if reached != every:
        print("generate_site: %d files not reachable from index.html: %s"
              % (len(every - reached), sorted(every - reached)[:5]), file=sys.stderr)
        return 1
    print("generated %d pages, %d files, %d redirects in %s"
          % (manifest["pages"], manifest["files"], len(manifest["redirects"]), args.out))
    return 0


if __name__ == "__main__":
    sys.exit(main())

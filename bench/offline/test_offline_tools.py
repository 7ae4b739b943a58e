#!/usr/bin/env python3
"""Checks of the offline-fidelity tool's pure parts: reading references out of
pages and style sheets, resolving them on disk and over http, choosing pages,
finding a page's copy and comparing screenshots.
Run: python3 -m unittest bench/offline/test_offline_tools.py
"""

import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import fidelity  # noqa: E402
import links  # noqa: E402

SERVER = "127.0.0.1:8123"


def write(path, data=""):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as f:
        f.write(data)


class ReadingTest(unittest.TestCase):
    def test_srcset_candidates(self):
        cases = [
            ("a.png 1x, b.png 2x", ["a.png", "b.png"]),
            ("a.png, b.png,", ["a.png", "b.png"]),            # no descriptors
            ("a.png,b.png", ["a.png,b.png"]),                 # a comma ends a URL only at its end
            ("img,1.png 480w, img,2.png 800w", ["img,1.png", "img,2.png"]),
            ("  c.png  ", ["c.png"]),
            ("d.png 1x (odd, descriptor), e.png", ["d.png", "e.png"]),
            ("", []),
        ]
        for value, want in cases:
            self.assertEqual(links.srcset_urls(value), want, value)

    def test_css_urls_in_every_form_but_comments(self):
        css = """@import "a.css"; @import url(b.css); @import 'c.css' screen;
                 body { background: url( "d e.png" ) } /* url(no.png) @import "no.css"; */
                 i { src: url('f.woff2') format("woff2"), url(g.woff); } p { x: URL(h.gif) }"""
        self.assertEqual(links.css_urls(css),
                         ["a.css", "b.css", "c.css", "d e.png", "f.woff2", "g.woff", "h.gif"])

    def test_page_references_are_sorted_by_what_they_do(self):
        html = """<html><head><base href="sub/">
          <link rel="stylesheet" href="s.css?v=2"><link rel="Shortcut Icon" href="i.ico">
          <link rel="canonical" href="c.html"><meta http-equiv="Refresh" content="0; URL='r.html'">
          <style>p { background: url(bg.png) }</style>
          <script>document.write('<img src="not-a-ref.png">')</script>
          <script src="j.js"></script></head>
          <body style="background:url('body.png')"><!-- <img src="commented.png"> -->
          <a href="x.html?a=1&amp;b=2#f">x</a><img src="i.png" srcset="i1.png 1x, i2.png 2x">
          <picture><source srcset="s.webp"></picture><object data="o.svg"></object>
          <a name="anchor-only">no href</a></body></html>"""
        refs, base = links.html_refs(html)
        self.assertEqual(base, "sub/")
        got = {(r.kind, r.url) for r in refs}
        self.assertEqual(got, {
            ("requisite", "s.css?v=2"), ("requisite", "i.ico"), ("link", "c.html"),
            ("link", "r.html"), ("requisite", "bg.png"), ("requisite", "j.js"),
            ("requisite", "body.png"), ("link", "x.html?a=1&b=2#f"), ("requisite", "i.png"),
            ("requisite", "i1.png"), ("requisite", "i2.png"), ("requisite", "s.webp"),
            ("requisite", "o.svg")})
        self.assertEqual(len(refs), len(got))


class ResolveTest(unittest.TestCase):
    def setUp(self):
        tmp = tempfile.TemporaryDirectory()
        self.addCleanup(tmp.cleanup)
        self.top = os.path.join(tmp.name, "copy")
        for rel in ("index.html", "a b.css", "sub/page.html", "sub/index.html",
                    "style.css?v=1", "empty/.keep"):
            write(os.path.join(self.top, rel), "<p>")
        self.page = links.page_url(os.path.join(self.top, "sub", "page.html"), SERVER)

    def on_disk(self, url):
        what, path = links.resolve(url, self.page, SERVER)
        return what, path and os.path.relpath(path, self.top)

    def test_a_copy_read_from_disk(self):
        cases = [
            ("../index.html", ("ok", "index.html")),
            ("../a%20b.css", ("ok", "a b.css")),
            ("../index.html?x=1#top", ("ok", "index.html")),        # file:// ignores the query
            ("../style.css?v=1", ("broken", "style.css")),           # so a stored "?" name is lost
            ("../style.css%3Fv=1", ("ok", "style.css?v=1")),
            ("./", ("folder", "sub")),                               # a listing, not index.html
            ("../empty/", ("folder", "empty")),
            ("missing.png", ("broken", "sub/missing.png")),
            ("http://%s/index.html" % SERVER, ("server", None)),
            ("//%s%s/index.html" % (SERVER, self.top), ("broken", None)),  # file://host/...
            ("file://localhost%s/index.html" % self.top, ("ok", "index.html")),
            ("https://example.org/", ("other", None)),
            ("http://127.0.0.1:9999/", ("other", None)),             # another port, another server
            ("#f", ("skip", None)), ("page.html#f", ("skip", None)), ("", ("skip", None)),
            ("mailto:a@b.c", ("skip", None)), ("javascript:void(0)", ("skip", None)),
            ("data:image/png;base64,AAAA", ("skip", None)),
        ]
        for url, want in cases:
            what, rel = self.on_disk(url)
            self.assertEqual((what, None if want[1] is None else rel), want, url)
        what, path = links.resolve("/" + self.top.lstrip("/") + "/index.html", self.page, SERVER)
        self.assertEqual(what, "ok")                                 # "/" is the disk's root
        self.assertEqual(links.resolve(links.page_url(os.path.join(self.top, "index.html"),
                                                      SERVER), self.page, SERVER)[0], "ok")

    def test_the_original_served_over_http(self):
        base = links.page_url(os.path.join(self.top, "sub", "page.html"), SERVER, self.top)
        self.assertEqual(base, "http://%s/sub/page.html" % SERVER)
        cases = [
            ("/index.html", "ok", "index.html"), ("./", "ok", "sub/index.html"),
            ("../../../index.html", "ok", "index.html"),            # no climbing above the root
            ("http://%s/a%%20b.css" % SERVER, "ok", "a b.css"),
            ("../a%20b.css?v=1", "ok", "a b.css"), ("/empty/", "broken", "empty/index.html"),
            ("file:///etc/hostname", "other", None),
        ]
        for url, what, rel in cases:
            got, path = links.resolve(url, base, SERVER, self.top)
            self.assertEqual((got, path and os.path.relpath(path, self.top)), (what, rel), url)


class TreeTest(unittest.TestCase):
    def setUp(self):
        tmp = tempfile.TemporaryDirectory()
        self.addCleanup(tmp.cleanup)
        self.top = os.path.join(tmp.name, "copy")

    def test_copy_counts_and_examples(self):
        write(os.path.join(self.top, "..", "elsewhere.png"))
        write(os.path.join(self.top, "index.html"),
              '<link rel=stylesheet href="s.css"><img src="gone.png"><a href="p.html">p</a>'
              '<img srcset="./gone.png?x 2x, ../elsewhere.png 3x">'
              '<a href="lost.html">l</a><a href="#top">t</a><a href="http://%s/q.html">q</a>'
              '<script src="http://%s/j.js"></script><a href="http://other.invalid/">o</a>'
              % (SERVER, SERVER))
        write(os.path.join(self.top, "p.html"), '<base href="d/"><img src="x.png">')
        write(os.path.join(self.top, "s.css"),
              "@import 'missing.css'; b { background: url(p.html) }")
        write(os.path.join(self.top, "d", "x.png"))
        c = links.check_tree(self.top, SERVER, bound=self.top)
        counts = {k: v for k, v in c.items() if k != "examples"}
        self.assertEqual(counts, {"pages": 2, "sheets": 1, "ok": 4, "broken_requisite": 3,
                                  "broken_link": 1, "server_link": 1, "server_requisite": 1,
                                  "other": 1, "outside": 1})
        # One example per target, however it is written; the most frequent first.
        self.assertEqual(c["examples"]["broken_requisite"],
                         [(2, "index.html", "gone.png"), (1, "s.css", "missing.css")])
        self.assertEqual(c["examples"]["server_requisite"],
                         [(1, "index.html", "http://%s/j.js" % SERVER)])

    def test_pages_reachable_from_the_start(self):
        write(os.path.join(self.top, "index.html"), '<a href="a/">a</a><a href="/b.html#x">b</a>'
              '<a href="../../outside.html">o</a><img src="i.html">')
        write(os.path.join(self.top, "a", "index.html"), '<a href="../c.htm">c</a>')
        write(os.path.join(self.top, "b.html"), '<a href="index.html">back</a>')
        write(os.path.join(self.top, "c.htm"))
        write(os.path.join(self.top, "i.html"))
        write(os.path.join(self.top, "lonely.html"))
        self.assertEqual(links.reachable_pages(self.top, "index.html", SERVER),
                         ["a/index.html", "b.html", "c.htm", "i.html", "index.html"])


class SampleTest(unittest.TestCase):
    def test_sample_keeps_the_start_and_repeats_itself(self):
        pages = ["p%02d.html" % i for i in range(50)] + ["index.html"]
        a = fidelity.sample_pages(pages, "index.html", 10, seed=3)
        self.assertEqual(a[0], "index.html")
        self.assertEqual(len(set(a)), 10)
        self.assertEqual(a, fidelity.sample_pages(list(reversed(pages)), "index.html", 10, seed=3))
        self.assertNotEqual(a, fidelity.sample_pages(pages, "index.html", 10, seed=4))
        self.assertEqual(len(fidelity.sample_pages(pages, "index.html", 500, seed=3)), 51)

    def test_stored_page_takes_the_tools_default_document(self):
        with tempfile.TemporaryDirectory() as top:
            write(os.path.join(top, "d", "index.htm"))
            write(os.path.join(top, "e.html"))
            self.assertEqual(fidelity.stored_page(top, "d/index.html"),
                             os.path.join(top, "d", "index.htm"))
            self.assertEqual(fidelity.stored_page(top, "e.html"), os.path.join(top, "e.html"))
            self.assertIsNone(fidelity.stored_page(top, "f.html"))
            self.assertIsNone(fidelity.stored_page(None, "e.html"))


try:
    from PIL import Image
except ImportError:
    Image = None


@unittest.skipIf(Image is None, "needs Pillow (python3-pil, for /usr/bin/python3)")
class DiffTest(unittest.TestCase):
    def test_share_of_differing_pixels(self):
        with tempfile.TemporaryDirectory() as d:
            a, b, c, out = (os.path.join(d, n) for n in ("a.png", "b.png", "c.png", "diff.png"))
            img = Image.new("RGB", (10, 10), "white")
            img.save(a)
            img.putpixel((3, 4), (255, 255, 254))   # one channel off by one
            img.putpixel((5, 5), (0, 0, 0))
            img.save(b)
            Image.new("RGB", (10, 5), "black").save(c)
            self.assertEqual(fidelity.diff_share(a, a), 0.0)
            self.assertAlmostEqual(fidelity.diff_share(a, b, diff_out=out), 0.02)
            self.assertAlmostEqual(fidelity.diff_share(a, b, tolerance=1), 0.01)
            self.assertEqual(Image.open(out).getpixel((5, 5)), (255, 0, 0))
            self.assertNotEqual(Image.open(out).getpixel((0, 0)), (255, 0, 0))
            self.assertAlmostEqual(fidelity.diff_share(a, c), 0.5)   # the padding is white


if __name__ == "__main__":
    unittest.main()

#!/usr/bin/env python3
"""Checks of the wiki-copy tool's pure parts: telling files apart by content,
reading a stored page, finding an article's copy, judging references on a
small folder of stored pages, the article addresses, and the generated
content and commands.
Run: python3 -m unittest bench/dynamic/test_wiki_tools.py
"""

import os
import re
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ET

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, here)
sys.path.insert(0, os.path.join(here, "..", "offline"))

import wiki_checks  # noqa: E402
import wiki_pages  # noqa: E402
import wiki_server  # noqa: E402

SERVER = "127.0.0.1:47180"
PNG = b"\x89PNG\r\n\x1a\n" + b"\0" * 32


def page(heading, body="", head="", action="view", nav=""):
    return ("<!DOCTYPE html>\n<html><head><title>%s</title>%s</head>"
            "<body class=\"mediawiki ns-0 action-%s\">"
            "<h1 id=\"firstHeading\" class=\"firstHeading\">"
            "<span class=\"mw-page-title-main\">%s</span></h1><div id=\"bodyContent\">"
            "<div id=\"mw-content-text\"><div class=\"mw-parser-output\">%s</div></div></div>"
            "<div id=\"mw-navigation\">%s</div></body></html>"
            % (heading, head, action, heading, body, nav))


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb" if isinstance(data, bytes) else "w") as f:
        f.write(data)


class SniffTest(unittest.TestCase):
    def test_kinds(self):
        cases = [
            (PNG, "image"), (b"GIF89a...", "image"), (b"\xff\xd8\xff\xe0", "image"),
            (b"RIFF\0\0\0\0WEBPVP8 ", "image"),
            (b'<?xml version="1.0"?>\n<svg xmlns="http://www.w3.org/2000/svg"/>', "image"),
            (b"\n  <!DOCTYPE html><html><head>", "html"),
            (b"\xef\xbb\xbf<html lang=en><body>", "html"),
            (b"<!-- x -->\n<html><head></head>", "html"),
            (b"/* a */ .mw-body{color:red}", "css"), (b"@media print{a{b:c}}", "css"),
            (b"function isCompatible(ua){}", "js"), (b"/*c*/\nmw.loader.implement(", "js"),
            (b"(function(){})()", "js"), (b"'use strict';var a", "js"),
            (b"/* no modules were requested */\n", "empty"), (b"  \n", "empty"),
        ]
        for data, want in cases:
            self.assertEqual(wiki_checks.sniff(None, data), want, data)

    def test_what_each_tag_needs(self):
        fits = wiki_checks.fits
        self.assertTrue(fits("stylesheet", "css"))
        for c in ("html", "js", "image", "empty"):
            self.assertFalse(fits("stylesheet", c), c)
        self.assertTrue(fits("script", "js"))
        self.assertFalse(fits("script", "html"))
        self.assertTrue(fits("image", "image"))
        self.assertFalse(fits("image", "html"))


class PageScanTest(unittest.TestCase):
    def test_reads_heading_refs_and_article_links(self):
        html = page("Os.path", head='<link rel="stylesheet" href="s.css?v=1">'
                    '<link rel="icon" href="i.ico"><script src="j.js"></script>'
                    '<script>var x = "<img src=no.png>";</script><base href="sub/">',
                    body='<img src="a.png" srcset="a2.png 2x, a3.png 3x">'
                    '<a href="/wiki/C%2B%2B" title="C++">C++</a><a href="#x">x</a>'
                    '<a href="/wiki/Special:Random" title="Load a random page [x]">r</a>',
                    nav='<a href="/wiki/Main_Page" title="Main Page">m</a>')
        s = wiki_checks.scan_page(html)
        self.assertEqual(s.heading, "Os.path")
        self.assertTrue(wiki_checks.is_view(s))
        self.assertEqual(s.base, "sub/")
        self.assertEqual(s.refs, [("stylesheet", "s.css?v=1"), ("script", "j.js"),
                                  ("image", "a.png"), ("image", "a2.png"), ("image", "a3.png")])
        self.assertEqual(s.anchors, [("C++", "/wiki/C%2B%2B"),
                                     ("Load a random page [x]", "/wiki/Special:Random")])

    def test_heading_text_is_normalized_and_nested(self):
        s = wiki_checks.scan_page('<h1 id="firstHeading"> St. Mary&#39;s\n <i>Church</i> </h1>')
        self.assertEqual(s.heading, "St. Mary's Church")
        self.assertFalse(wiki_checks.is_view(s))   # no body class: not known to be a view


class CopyTest(unittest.TestCase):
    """A stored copy as a tool might leave it: a good article page, one whose
    references are broken in every way, an edit form and a printable view."""

    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.top = top = os.path.join(self.tmp.name, "out", "127.0.0.1")
        write(os.path.join(top, "load.php@styles.css"), ".mw-body{color:#202122}")
        write(os.path.join(top, "load.php@startup.js"), "function isCompatible(){}")
        write(os.path.join(top, "load.php@mangled.css"), "/* no modules were requested */")
        write(os.path.join(top, "images", "a.png"), PNG)
        write(os.path.join(top, "images", "page.png"), page("Not an image"))
        write(os.path.join(top, "wiki", "Os.path.html"), page(
            "Os.path",
            head='<link rel="stylesheet" href="../load.php@styles.css">'
                 '<script src="../load.php@startup.js"></script>',
            body='<img src="../images/a.png"><a href="C%2B%2B.html" title="C++">c</a>'
                 '<a href="Node.js.html" title="Node.js">n</a>'))
        write(os.path.join(top, "wiki", "C++.html"), page(
            "C++",
            head='<link rel="stylesheet" href="../wiki/Os.path.html">'
                 '<link rel="stylesheet" href="../load.php@mangled.css">'
                 '<link rel="stylesheet" href="../load.php?lang=en&amp;only=styles">'
                 '<script src="http://%s/load.php?modules=startup"></script>' % SERVER,
            body='<img src="../images/page.png" srcset="../images/none.png 2x">'
                 '<img src="/images/a.png"><img src="http://external.invalid/x.png">'
                 '<a href="Os.path.html" title="Os.path">o</a>'
                 '<a href="http://%s/wiki/Node.js" title="Node.js">n</a>'
                 '<a href="Guide/Intro.html" title="Guide/Intro">g</a>'
                 '<a href="../images/a.png" title="Os.path">wrong</a>' % SERVER,
            nav='<a href="Node.js.html" title="Node.js">outside the text</a>'))
        write(os.path.join(top, "index.php@title=Os.path&action=edit.html"),
              page("Editing Os.path", action="edit",
                   body='<a href="index.php@title=Os.path&action=edit.html" title="Os.path">x</a>'))
        write(os.path.join(top, "index.php@title=Os.path&printable=yes.html"), page("Os.path"))
        self.titles = ["Os.path", "C++", "Node.js", "Guide/Intro"]

    def tearDown(self):
        self.tmp.cleanup()

    def test_pages_are_found_by_content_and_articles_by_heading(self):
        scans = wiki_checks.stored_pages(self.top)
        self.assertEqual(len(scans), 5)   # the HTML behind images/page.png counts too
        self.assertNotIn(os.path.join(self.top, "load.php@styles.css"), scans)
        stored = wiki_checks.articles_stored(self.titles, scans)
        self.assertEqual(len(stored["Os.path"]), 2)   # the view and the printable view
        self.assertEqual(stored["Node.js"], [])
        best = wiki_checks.best_copy(stored["Os.path"], scans, self.top)
        self.assertEqual(best, os.path.join(self.top, "wiki", "Os.path.html"))
        self.assertIsNone(wiki_checks.best_copy([], scans, self.top))

    def test_references_by_kind_and_outcome(self):
        c = wiki_checks.check_copy(self.top, SERVER, self.titles,
                                   bound=os.path.dirname(self.top))
        self.assertEqual(c["pages"], 5)
        self.assertEqual(c["stylesheet ok"], 1)
        self.assertEqual(c["stylesheet wrong type"], 2)   # a page, and an empty answer
        self.assertEqual(c["stylesheet missing"], 1)      # the query is not part of a file name
        self.assertEqual(c["script ok"], 1)
        self.assertEqual(c["script server"], 1)
        self.assertEqual(c["image ok"], 1)
        self.assertEqual(c["image wrong type"], 1)
        self.assertEqual(c["image missing"], 2)   # none.png; /images/a.png is on the disk's root
        self.assertEqual(c["image other host"], 1)
        self.assertEqual(c["article ok"], 2)              # C++ from Os.path, Os.path from C++
        self.assertEqual(c["article missing"], 2)         # Node.js, Guide/Intro
        self.assertEqual(c["article server"], 1)
        self.assertEqual(c["article wrong page"], 1)
        s = wiki_checks.summarize_refs(c)
        self.assertEqual(s["stylesheet"], {"total": 4, "ok": 1, "broken": 3, "by outcome": {
            "ok": 1, "wrong type": 2, "missing": 1}})
        self.assertEqual(s["image"]["broken"], 4)
        self.assertEqual(s["article link"]["ok"], 2)
        self.assertIn("stylesheet wrong type", c["examples"])

    def test_a_file_outside_the_copy_is_told_apart(self):
        outside = os.path.join(self.tmp.name, "elsewhere.css")
        write(outside, "a{b:c}")
        write(os.path.join(self.top, "x.html"),
              page("X", head='<link rel="stylesheet" href="%s">' % outside))
        c = wiki_checks.check_copy(self.top, SERVER, [], bound=os.path.dirname(self.top))
        self.assertEqual(c["stylesheet outside"], 1)


class AddressTest(unittest.TestCase):
    def test_title_paths_as_mediawiki_writes_them(self):
        cases = {"Main Page": "/wiki/Main_Page", "Os.path": "/wiki/Os.path",
                 "C++": "/wiki/C%2B%2B", "What is a dialect?": "/wiki/What_is_a_dialect%3F",
                 "St. Mary's Church": "/wiki/St._Mary%27s_Church",
                 "Rock & roll": "/wiki/Rock_%26_roll", "Guide/Intro": "/wiki/Guide/Intro",
                 "Zürich tramways": "/wiki/Z%C3%BCrich_tramways",
                 "Broad market (city)": "/wiki/Broad_market_(city)"}
        for title, want in cases.items():
            self.assertEqual(wiki_server.title_path(title), want)


LINK_RE = re.compile(r"\[\[([^|\]]+)")


class ContentTest(unittest.TestCase):
    def test_same_seed_same_wiki(self):
        self.assertEqual(wiki_pages.pages(3), wiki_pages.pages(3))
        self.assertNotEqual(wiki_pages.content_titles(1), wiki_pages.content_titles(2))

    def test_titles(self):
        titles = wiki_pages.content_titles(1)
        self.assertEqual(len(titles), len(set(titles)))
        self.assertGreaterEqual(len(titles), 200)
        self.assertTrue(any("." in t for t in titles))
        self.assertTrue(any(not t.isascii() for t in titles))
        self.assertTrue(any("/" in t for t in titles))
        self.assertIn("Main Page", titles)

    def test_every_article_two_links_from_main_page_and_links_resolve(self):
        pages = dict(wiki_pages.pages(1))
        titles = set(wiki_pages.content_titles(1))
        self.assertEqual(set(t for t in pages if ":" not in t or t in titles), titles)
        reach, frontier = {"Main Page"}, {"Main Page"}
        for _ in range(2):
            frontier = {link for t in frontier for link in LINK_RE.findall(pages[t])
                        if link in titles} - reach
            reach |= frontier
        self.assertEqual(reach, titles)
        for title, text in pages.items():
            for link in LINK_RE.findall(text):
                target = link.lstrip(":")
                if "{{{" in target:   # the template's own parameter
                    continue
                self.assertIn(target, set(pages) | {"File:%s" % i for i in wiki_pages.IMAGES},
                              "%s links to %s" % (title, link))

    def test_articles_use_template_category_external_links(self):
        pages = dict(wiki_pages.pages(1))
        articles = [t for topic, ts in wiki_pages.article_titles(1).items() for t in ts]
        for t in articles:
            self.assertIn("{{Infobox|", pages[t])
            self.assertIn("[[Category:", pages[t])
            self.assertIn("http://external.invalid/", pages[t])
        self.assertTrue(any("[[File:" in pages[t] for t in articles))

    def test_dump_is_well_formed(self):
        dump = wiki_pages.dump_xml([("Rock & roll", "a < b & [[C++]]"), ("Template:X", "y")])
        root = ET.fromstring(dump)
        ns = {"m": "http://www.mediawiki.org/xml/export-0.11/"}
        found = [(p.find("m:title", ns).text, p.find("m:ns", ns).text,
                  p.find("m:revision/m:text", ns).text) for p in root.findall("m:page", ns)]
        self.assertEqual(found, [("Rock & roll", "0", "a < b & [[C++]]"),
                                 ("Template:X", "10", "y")])


class CommandTest(unittest.TestCase):
    def test_commands(self):
        import wiki_copy
        args = wiki_copy.parse_args(["--quarn-args", "--retries 1 --name 'My Wiki'"])
        args.quarn_cli = "/x/quarn-cli"
        q = wiki_copy.mirror_command("quarn", "http://h/wiki/Main_Page", "/o", args)
        self.assertEqual(q, ["/x/quarn-cli", "mirror", "http://h/wiki/Main_Page", "--levels", "3",
                             "--workers", "4", "--sites-dir", "/o", "--name", "Wiki",
                             "--retries", "1", "--name", "My Wiki"])
        w = wiki_copy.mirror_command("wget2", "http://h/wiki/Main_Page", "/o", args)
        self.assertEqual(w[0], "wget2")
        self.assertIn("--level=2", w)        # as deep as quarn-cli's three levels
        self.assertIn("--convert-links", w)
        self.assertEqual(w[-3:], ["-P", "/o", "http://h/wiki/Main_Page"])
        args = wiki_copy.parse_args(["--levels", "4", "--wget2-level", "3", "--tools", "wget2"])
        self.assertEqual((args.levels, args.wget2_level, args.tools), (4, 3, ["wget2"]))


if __name__ == "__main__":
    unittest.main()

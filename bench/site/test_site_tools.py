#!/usr/bin/env python3
"""Checks of the benchmark's own tools: the site generator, the figures parser
and link checker, and the slow server. Run: python3 -m unittest bench/site/test_site_tools.py
"""

import http.client
import json
import os
import sys
import tempfile
import threading
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import generate_site  # noqa: E402
import measure  # noqa: E402
import slow_server  # noqa: E402


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as f:
        f.write(data)


class GeneratorTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cls.out = os.path.join(cls.tmp.name, "site")
        with open(os.devnull, "w") as null:
            saved, sys.stdout = sys.stdout, null
            try:
                cls.rc = generate_site.main(["--pages", "250", "--out", cls.out])
            finally:
                sys.stdout = saved
        with open(os.path.join(cls.out, "manifest.json")) as f:
            cls.manifest = json.load(f)

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def test_every_file_is_reachable_from_the_start_page(self):
        self.assertEqual(self.rc, 0)
        reached, every = generate_site.crawl_generated(self.out)
        self.assertEqual(reached, every)
        pages = [p for p in every if p.endswith(".html")]
        self.assertEqual(len(pages), 250)
        self.assertEqual(len(every), self.manifest["files"])

    def test_files_are_dated_well_before_any_crawl(self):
        for root, _, names in os.walk(os.path.join(self.out, "www")):
            for n in names:
                self.assertEqual(os.stat(os.path.join(root, n)).st_mtime, generate_site.FILE_TIME)

    def test_no_two_paths_differ_only_in_letter_case(self):
        # Crawlers that compare paths without regard to case would merge them.
        _, every = generate_site.crawl_generated(self.out)
        self.assertEqual(len({p.lower() for p in every}), len(every))

    def test_redirect_rules_match_the_manifest_and_point_into_the_site(self):
        with open(os.path.join(self.out, "redirects.conf")) as f:
            rules = slow_server.read_redirects(f.name)
        self.assertEqual(len(rules), len(self.manifest["redirects"]))
        www = os.path.join(self.out, "www")
        for r in self.manifest["redirects"]:
            code, target = rules["/" + r["path"]]
            self.assertIn(code, (301, 302))
            self.assertFalse(os.path.exists(os.path.join(www, r["path"])))
            local = target.lstrip("/")
            if target.startswith("/" + generate_site.REDIRECT_DIR + "/"):
                continue    # a chain: the next hop is a redirect itself
            if local.endswith("/") or local == "":
                local += "index.html"
            self.assertTrue(os.path.isfile(os.path.join(www, local)), target)

    def test_pages_carry_every_kind_of_link(self):
        text = ""
        for root, _, names in os.walk(os.path.join(self.out, "www")):
            for n in names:
                if n.endswith(".html"):
                    with open(os.path.join(root, n)) as f:
                        text += f.read()
        self.assertIn('href="http://external.invalid/', text)
        self.assertRegex(text, r'href="[^"]*missing\d+\.html"')
        self.assertRegex(text, r'href="[^"]*redirect/r\d+\.html"')
        self.assertRegex(text, r'href="sec\d+/"')
        self.assertRegex(text, r'src="[^"]*\.gif"')
        self.assertRegex(text, r'href="[^"]*style\.css"')

    def test_same_seed_gives_the_same_site(self):
        other = os.path.join(self.tmp.name, "again")
        site = generate_site.Site(250, 1)
        site.write(other)
        for rel in ("index.html", "sec3/p70.html", "redirects.conf"):
            a = os.path.join(self.out, "www", rel) if rel.endswith(".html") else os.path.join(self.out, rel)
            b = os.path.join(other, "www", rel) if rel.endswith(".html") else os.path.join(other, rel)
            with open(a, "rb") as fa, open(b, "rb") as fb:
                self.assertEqual(fa.read(), fb.read(), rel)

    def test_relative_links(self):
        cases = [
            ("index.html", "sec1/", "sec1/"),
            ("index.html", "sec1/p21.html", "sec1/p21.html"),
            ("sec1/p21.html", "sec1/", "./"),
            ("sec1/p21.html", "index.html", "../index.html"),
            ("sec1/sec5/index.html", "sec2/sec9/", "../../sec2/sec9/"),
            ("sec1/sec5/p101.html", "style.css", "../../style.css"),
        ]
        for page, target, want in cases:
            self.assertEqual(generate_site.Site.rel(page, target), want, (page, target))


TIME_OUTPUT = """\tCommand being timed: "wget2 x"
\tUser time (seconds): 1.25
\tSystem time (seconds): 0.50
\tPercent of CPU this job got: 12%
\tElapsed (wall clock) time (h:mm:ss or m:ss): {wall}
\tMaximum resident set size (kbytes): 20480
\tExit status: 0
"""


class MeasureTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.addCleanup(self.tmp.cleanup)

    def test_time_output_in_both_clock_forms(self):
        for wall, secs in (("0:03.50", 3.5), ("1:02:03", 3723.0), ("12:00.25", 720.25)):
            path = os.path.join(self.tmp.name, "t")
            write(path, TIME_OUTPUT.format(wall=wall))
            got = measure.parse_time(path)
            self.assertAlmostEqual(got["wall"], secs)
            self.assertAlmostEqual(got["cpu"], 1.75)
            self.assertEqual(got["rss_kb"], 20480)

    def test_truncated_time_output_is_an_error(self):
        path = os.path.join(self.tmp.name, "t")
        write(path, "\tUser time (seconds): 1.0\n")
        with self.assertRaises(ValueError):
            measure.parse_time(path)

    def test_requests_are_sorted_by_what_was_sent(self):
        lines = ["GET 200 512 /a.html", "GET 200 0 /empty.html", "HEAD 200 0 /a.html",
                 "HEAD 301 0 /r.html", "GET 302 154 /r2.html", "HEAD 404 0 /m.html",
                 "GET 404 153 /m.html", "GET 304 0 /b.html", "garbage"]
        c = measure.count_requests(lines)
        self.assertEqual(c["requests"], 8)
        self.assertEqual(c["get_body"], 1)
        self.assertEqual(c["body_bytes"], 512)
        self.assertEqual(c["head"], 3)
        self.assertEqual(c["redirect"], 2)
        self.assertEqual(c["not_found"], 2)

    def test_host_folder_of_each_tool(self):
        for name in ("127.0.0.1", "127.0.0.1:8080", "127.0.0.1_8080"):
            out = os.path.join(self.tmp.name, name.replace(":", "c"))
            write(os.path.join(out, "Site", name, "index.html"), "x")
            write(os.path.join(out, "hts-cache", "new.txt"), "x")
            self.assertEqual(measure.host_dir(out), os.path.join(out, "Site", name))

    def test_links_resolved_on_disk(self):
        top = os.path.join(self.tmp.name, "127.0.0.1")
        write(os.path.join(top, "a", "there.html"), "")
        write(os.path.join(top, "d", "index.html"), "")
        write(os.path.join(top, "stub.html"),
              '<meta http-equiv=Refresh content="1;url=file://%s">'
              % os.path.join(top, "a", "there.html"))
        write(os.path.join(top, "bad-stub.html"),
              '<meta http-equiv=Refresh content="1;url=file://%s/gone.html">' % top)
        write(os.path.join(top, "index.html"), "\n".join([
            '<a href="a/there.html">', "<img src=a/there.html>", "<a href='d/'>",
            '<a href="a/space%20x.html">', '<a href="missing7.html">',
            '<a href="http://127.0.0.1:81/p.html">', '<a href="http://127.0.0.1/missing3.html">',
            '<a href="http://external.invalid/x">', '<a href="mailto:a@b">', '<a href="#top">']))
        c = measure.check_links(top)
        self.assertEqual(c["pages"], 5)
        self.assertEqual(c["ok"], 4)            # three links and the good stub
        self.assertEqual(c["broken"], 2)        # space%20x.html and the bad stub
        self.assertEqual(c["broken_404"], 1)
        self.assertEqual(c["absolute_server"], 1)
        self.assertEqual(c["absolute_404"], 1)
        self.assertEqual(c["external"], 1)
        self.assertTrue(any("space%20x.html" in s for s in c["samples"]))


class SlowServerTest(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory()
        self.addCleanup(self.tmp.cleanup)
        write(os.path.join(self.tmp.name, "www", "index.html"), "<p>hi</p>")
        write(os.path.join(self.tmp.name, "redirects.conf"),
              "location = /redirect/r0.html { return 302 /index.html; }\n")
        self.log = os.path.join(self.tmp.name, "access.log")
        slow_server.SlowHandler.delay = 0.2
        slow_server.SlowHandler.redirects = slow_server.read_redirects(
            os.path.join(self.tmp.name, "redirects.conf"))
        slow_server.SlowHandler.log_file = open(self.log, "a")
        self.addCleanup(slow_server.SlowHandler.log_file.close)
        handler = lambda *a, **k: slow_server.SlowHandler(  # noqa: E731
            *a, directory=os.path.join(self.tmp.name, "www"), **k)
        self.server = slow_server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        self.port = self.server.server_address[1]
        thread = threading.Thread(target=self.server.serve_forever, daemon=True)
        thread.start()
        self.addCleanup(thread.join)
        self.addCleanup(self.server.server_close)
        self.addCleanup(self.server.shutdown)

    def test_answers_are_delayed_and_logged_over_one_connection(self):
        conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)
        self.addCleanup(conn.close)
        started = time.monotonic()
        for method, path in (("HEAD", "/nothere.html"), ("GET", "/index.html"),
                             ("HEAD", "/redirect/r0.html")):
            conn.request(method, path)
            resp = conn.getresponse()
            resp.read()
            if path.startswith("/redirect"):
                self.assertEqual(resp.status, 302)
                self.assertEqual(resp.getheader("Location"),
                                 "http://127.0.0.1:%d/index.html" % self.port)
        self.assertGreaterEqual(time.monotonic() - started, 0.6)
        with open(self.log) as f:
            lines = f.read().splitlines()
        self.assertEqual(lines, ["HEAD 404 0 /nothere.html", "GET 200 9 /index.html",
                                 "HEAD 302 0 /redirect/r0.html"])


if __name__ == "__main__":
    unittest.main()

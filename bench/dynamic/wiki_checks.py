"""Judges a stored copy of the wiki on disk: which articles it holds, and
whether the style sheets, scripts, images and article links of its pages
work when the copy is opened from disk.

A stored file is taken for a page by its content, not its name: tools name
pages in their own ways (with or without .html, with the query folded in).
References are resolved as a browser reads the copy through file:// URLs,
with bench/offline/links.py's resolve.

Standard library only.
"""

import os
import re
from collections import Counter
from html.parser import HTMLParser

import links   # bench/offline/links.py, put on the path by the caller

REQUISITE_KINDS = ("stylesheet", "script", "image")
IMAGE_MAGIC = (b"\x89PNG\r\n\x1a\n", b"GIF87a", b"GIF89a", b"\xff\xd8\xff",
               b"\x00\x00\x01\x00", b"BM")
JS_START_RE = re.compile(r"^(?:\"use strict\"|'use strict'|function\b|\(function\b|!function\b|"
                         r"var\b|let\b|const\b|mw\.|window\.|jQuery\b|\$\(|document\.)")
SPACE_RE = re.compile(r"\s+")


def sniff(path, head=None):
    """What a file holds, from its first bytes: "html", "image", "js", "css"
    (any other text), or "empty" (nothing but white space and comments, as
    load.php answers a request it cannot read). JavaScript is told from CSS
    by how it starts, after comments: good enough for the script and style
    bundles a wiki serves, not a parser."""
    if head is None:
        with open(path, "rb") as f:
            head = f.read(4096)
    if not head.strip():
        return "empty"
    if head.startswith(IMAGE_MAGIC) or (head[:4] == b"RIFF" and head[8:12] == b"WEBP"):
        return "image"
    text = head.decode("utf-8", "replace").lstrip("\ufeff \t\r\n")
    low = text[:1024].lower()
    if low.startswith("<!doctype html") or low.startswith("<html") or \
            ("<html" in low and ("<head" in low or "<body" in low)):
        return "html"
    if "<svg" in low and (low.startswith("<?xml") or low.startswith("<svg")
                          or low.startswith("<!doctype svg") or low.startswith("<!--")):
        return "image"
    code = re.sub(r"^(?:\s*/\*.*?\*/)+", "", text, flags=re.S).lstrip()
    if not code:
        return "empty"
    return "js" if JS_START_RE.match(code) else "css"


def fits(kind, content):
    """Whether a file holding `content` (see sniff) is what a `kind` reference needs."""
    # Every style sheet and script this wiki links has content: an empty one
    # stands for an answer to a mangled address.
    if kind == "stylesheet":
        return content == "css"
    if kind == "script":
        return content in ("js", "css")   # a script that merely looks odd still runs
    if kind == "image":
        return content == "image"
    return content == "html"


def normal_text(s):
    return SPACE_RE.sub(" ", s).strip()


class PageScan(HTMLParser):
    """One pass over a page: the firstHeading's text, <body>'s classes, the
    style sheets, scripts and images it loads, the <base href>, and the
    anchors of the article's text (div#mw-content-text) that carry a title
    attribute, as MediaWiki's links to other pages do."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.heading, self.body_class, self.base = None, "", None
        self.refs = []      # (kind, url); kind in REQUISITE_KINDS
        self.anchors = []   # (title attribute, href)
        self._h1 = None     # text parts while inside h1#firstHeading
        self._depth = 0
        self._text_divs = 0   # open <div>s while inside div#mw-content-text

    def handle_starttag(self, tag, attrs):
        a = {k: (v or "") for k, v in attrs}
        if self._h1 is not None and tag == "h1":
            self._depth += 1
        if tag == "div" and (self._text_divs or a.get("id") == "mw-content-text"):
            self._text_divs += 1
        if tag == "h1" and a.get("id") == "firstHeading" and self.heading is None:
            self._h1, self._depth = [], 1
        elif tag == "body":
            self.body_class = a.get("class", "")
        elif tag == "base" and "href" in a and self.base is None:
            self.base = a["href"].strip()
        elif tag == "link" and "href" in a and \
                "stylesheet" in a.get("rel", "").lower().split():
            self.refs.append(("stylesheet", a["href"].strip()))
        elif tag == "script" and a.get("src"):
            self.refs.append(("script", a["src"].strip()))
        elif tag == "img":
            if a.get("src"):
                self.refs.append(("image", a["src"].strip()))
            if a.get("srcset"):
                self.refs += [("image", u) for u in links.srcset_urls(a["srcset"])]
        elif tag == "a" and a.get("href") and a.get("title") and self._text_divs:
            self.anchors.append((a["title"], a["href"].strip()))

    def handle_endtag(self, tag):
        if tag == "div" and self._text_divs:
            self._text_divs -= 1
        if self._h1 is not None and tag == "h1":
            self._depth -= 1
            if self._depth == 0:
                self.heading, self._h1 = normal_text("".join(self._h1)), None

    def handle_data(self, data):
        if self._h1 is not None:
            self._h1.append(data)


def scan_page(text):
    s = PageScan()
    s.feed(text)
    s.close()
    return s


def stored_pages(top):
    """{path: PageScan} of every file below `top` that holds an HTML page."""
    out = {}
    for root, dirs, names in os.walk(top):
        dirs.sort()
        for name in sorted(names):
            path = os.path.join(root, name)
            if os.path.islink(path) or not os.path.isfile(path):
                continue
            with open(path, "rb") as f:
                data = f.read(4096)
                if sniff(path, data) != "html":
                    continue
                data += f.read()
            out[path] = scan_page(data.decode("utf-8", "replace"))
    return out


def is_view(scan):
    """A page as read, not its edit form, history or printable version."""
    cls = scan.body_class.split()
    return "action-view" in cls and "printable" not in cls


def articles_stored(titles, scans):
    """{title: [paths]} of the stored pages whose heading is the title."""
    wanted = {normal_text(t): t for t in titles}
    found = {t: [] for t in titles}
    for path, scan in scans.items():
        t = wanted.get(scan.heading or "")
        if t is not None:
            found[t].append(path)
    return found


def best_copy(paths, scans, top):
    """The file a reader of the copy would open for an article: a plain view
    (not an old revision or a printable version), the shortest name first."""
    def key(p):
        rel = os.path.relpath(p, top)
        odd = not is_view(scans[p]) or "oldid" in rel or "printable" in rel
        return (odd, len(rel), rel)
    return min(paths, key=key) if paths else None


def outcome_of(what):
    """How a resolved reference counts: a folder or a broken name is a missing file."""
    return {"folder": "missing", "broken": "missing", "other": "other host"}.get(what, what)


def check_copy(top, server, titles, scans=None, bound=None, examples=3):
    """Counts, over every stored page below `top`, how each style sheet,
    script and image reference resolves from disk, and how links to articles
    do. Result keys:
      "<kind> <outcome>" for kind in REQUISITE_KINDS and outcome in
        ok, missing (no such file, or a folder), wrong type (a file that is
        not what the tag needs, as an HTML page behind a style sheet link),
        server (left absolute to the server: breaks offline), other host,
        outside (a file outside folder `bound`, so only on this machine);
      "article <outcome>", for the links of a stored article's text to
        other articles: ok (a stored copy of that article), wrong page (a
        file that is not that article), missing, server, other host;
      "pages": stored pages read; "examples": the most frequent problems."""
    if scans is None:
        scans = stored_pages(top)
    heading_of = {p: s.heading for p, s in scans.items()}
    titles = {normal_text(t) for t in titles}
    c, found, sniffed = Counter(), {}, {}

    def note(key, target, path, url):
        c[key] += 1
        if not key.endswith(" ok"):
            e = found.setdefault(key, {}).setdefault(target, [0, os.path.relpath(path, top), url])
            e[0] += 1

    for path, scan in sorted(scans.items()):
        c["pages"] += 1
        base = links.page_url(path, server)
        if scan.base:
            base = links.urljoin(base, scan.base)
        for kind, url in scan.refs:
            what, target = links.resolve(url, base, server)
            if what == "skip":
                continue
            outcome = outcome_of(what)
            if what == "ok":
                if bound and not target.startswith(os.path.join(bound, "")):
                    outcome = "outside"
                else:
                    if target not in sniffed:
                        sniffed[target] = sniff(target)
                    outcome = "ok" if fits(kind, sniffed[target]) else "wrong type"
            note("%s %s" % (kind, outcome), target or links.urljoin(base, url), path, url)
        # Links between articles, as read in a stored article: elsewhere (a
        # history, a diff) a link titled with an article may lead to an old
        # revision or an edit form of it.
        from_article = scan.heading in titles and is_view(scan)
        for title, url in scan.anchors if from_article else ():
            if normal_text(title) not in titles:
                continue
            what, target = links.resolve(url, base, server)
            if what == "skip":
                continue
            outcome = outcome_of(what)
            if what == "ok":
                # A file that is no page, or another page, is the wrong page.
                outcome = "ok" if heading_of.get(target) == normal_text(title) else "wrong page"
            note("article %s" % outcome, target or links.urljoin(base, url), path, url)
    result = dict(c)
    result["examples"] = {k: [tuple(v) for v in sorted(t.values(), key=lambda v: -v[0])]
                          [:examples] for k, t in found.items()}
    return result


def summarize_refs(check):
    """Per kind of requisite: total and broken (everything but ok), from check_copy."""
    out = {}
    for kind in REQUISITE_KINDS:
        counts = {k[len(kind) + 1:]: v for k, v in check.items()
                  if k.startswith(kind + " ") and isinstance(v, int)}
        out[kind] = {"total": sum(counts.values()), "ok": counts.get("ok", 0),
                     "broken": sum(v for k, v in counts.items() if k != "ok"),
                     "by outcome": counts}
    counts = {k[len("article "):]: v for k, v in check.items()
              if k.startswith("article ") and isinstance(v, int)}
    out["article link"] = {"total": sum(counts.values()), "ok": counts.get("ok", 0),
                           "broken": sum(v for k, v in counts.items() if k != "ok"),
                           "by outcome": counts}
    return out

"""Reads the references of HTML pages and style sheets, and resolves them the
way a browser does: for the original tree as served over http, for a stored
copy as opened from disk through file:// URLs.

Standard library only, so that the checks run under any Python 3.
"""

import functools
import os
import re
from collections import Counter
from html.parser import HTMLParser
from typing import NamedTuple
from urllib.parse import quote, unquote, urldefrag, urljoin, urlsplit

PAGE_EXTS = (".html", ".htm", ".xhtml")
SKIP_SCHEMES = {"mailto", "javascript", "data", "tel", "about", "blob", "ftp", "news", "irc"}

# Attributes that load something the page needs to render ("requisite") or
# lead to another document ("link"). <link> depends on its rel, see below.
ATTRS = {
    "a": (("href", "link"),), "area": (("href", "link"),),
    "img": (("src", "requisite"), ("srcset", "requisite")),
    "source": (("src", "requisite"), ("srcset", "requisite")),
    "script": (("src", "requisite"),), "iframe": (("src", "requisite"),),
    "frame": (("src", "requisite"),), "embed": (("src", "requisite"),),
    "video": (("src", "requisite"), ("poster", "requisite")),
    "audio": (("src", "requisite"),), "track": (("src", "requisite"),),
    "input": (("src", "requisite"),), "object": (("data", "requisite"),),
    "body": (("background", "requisite"),), "td": (("background", "requisite"),),
    "table": (("background", "requisite"),),
}
# rel values whose target the page loads by itself; canonical, next, search
# and the like only name other documents.
REQUISITE_RELS = {"stylesheet", "icon", "shortcut", "apple-touch-icon", "mask-icon",
                  "preload", "modulepreload", "manifest"}

CSS_COMMENT_RE = re.compile(r"/\*.*?\*/", re.S)
CSS_URL_RE = re.compile(r"""url\(\s*(?:"([^"]*)"|'([^']*)'|([^)\s]*))\s*\)"""
                        r"""|@import\s+(?:"([^"]*)"|'([^']*)')""", re.I)
REFRESH_URL_RE = re.compile(r"""^\s*\d*(?:\.\d*)?\s*[;,]?\s*url\s*=\s*["']?([^"']*)""", re.I)


class Ref(NamedTuple):
    kind: str   # "requisite" or "link"
    tag: str    # element, "css" for style sheets, "refresh" for <meta> refresh
    url: str


def srcset_urls(value):
    """The URLs of a srcset attribute. A URL runs to the next white space and
    may hold commas; commas at its end separate candidates; descriptors run to
    the next comma outside parentheses."""
    urls, i, n = [], 0, len(value)
    while i < n:
        while i < n and (value[i].isspace() or value[i] == ","):
            i += 1
        start = i
        while i < n and not value[i].isspace():
            i += 1
        url = value[start:i]
        if url.endswith(","):
            url = url.rstrip(",")
        else:
            depth = 0
            while i < n and (depth or value[i] != ","):
                depth += {"(": 1, ")": -1}.get(value[i], 0)
                i += 1
        if url:
            urls.append(url)
    return urls


def css_urls(text):
    """URLs of url(...) and @import "..." in a style sheet, comments left out."""
    text = CSS_COMMENT_RE.sub("", text)
    return [next(g for g in m.groups() if g is not None).strip()
            for m in CSS_URL_RE.finditer(text)]


class _Scanner(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.refs, self.base, self._style = [], None, False

    def handle_starttag(self, tag, attrs):
        a = {k: v for k, v in attrs if v is not None}
        self._style = tag == "style"
        if "style" in a:
            self.refs += [Ref("requisite", "css", u) for u in css_urls(a["style"])]
        if tag == "base" and "href" in a and self.base is None:
            self.base = a["href"].strip()
        elif tag == "link" and "href" in a:
            rels = set(a.get("rel", "").lower().split())
            self.refs.append(Ref("requisite" if rels & REQUISITE_RELS else "link", tag,
                                 a["href"].strip()))
        elif tag == "meta" and a.get("http-equiv", "").lower() == "refresh":
            m = REFRESH_URL_RE.match(a.get("content", ""))
            if m and m.group(1).strip():
                self.refs.append(Ref("link", "refresh", m.group(1).strip()))
        for attr, kind in ATTRS.get(tag, ()):
            if attr not in a:
                continue
            urls = srcset_urls(a[attr]) if attr == "srcset" else [a[attr].strip()]
            self.refs += [Ref(kind, tag, u) for u in urls]

    def handle_endtag(self, tag):
        self._style = False

    def handle_data(self, data):
        if self._style:   # <style> content arrives whole (raw text element)
            self.refs += [Ref("requisite", "css", u) for u in css_urls(data)]


def html_refs(text):
    """(references, <base href> or None) of an HTML page."""
    s = _Scanner()
    s.feed(text)
    s.close()
    return s.refs, s.base


def resolve(url, base, server, served_root=None):
    """Reads reference `url` of a document at absolute URL `base`. Returns
    (what, path): "skip" (the page itself, mail, script, data ...), "other"
    (another host), "server" (absolute to `server`, a "host:port", while
    reading a copy), or "ok" / "broken" / "folder" with the file it names.

    With served_root, the document is served from that tree: `server` URLs
    map into it and a folder means its index.html, as nginx answers. Without,
    it is read from disk: the query is ignored, "/x" is the disk's root and a
    folder shows a file listing, not a page."""
    if not url or url.startswith("#"):
        return "skip", None
    full = urljoin(base, url)
    if urldefrag(full)[0] == urldefrag(base)[0]:
        return "skip", None   # the page itself, as "#x" or rewritten to "page.html#x"
    u = urlsplit(full)
    scheme = u.scheme.lower()
    if scheme in SKIP_SCHEMES:
        return "skip", None
    if scheme in ("http", "https"):
        if u.netloc.lower() != server.lower():
            return "other", None
        if served_root is None:
            return "server", None
        path = os.path.join(served_root, unquote(u.path).lstrip("/"))
    elif scheme == "file" and served_root is None:
        if u.netloc not in ("", "localhost"):
            return "broken", full
        path = unquote(u.path)
    else:
        return "other", None
    if os.path.isdir(path):
        if served_root is None:
            return "folder", path
        path = os.path.join(path, "index.html")
    return ("ok" if os.path.isfile(path) else "broken"), path


def page_url(path, server, served_root=None):
    """The address a browser shows for the file at `path`."""
    if served_root is None:
        return "file://" + "/".join(_quote_part(p) for p in os.path.abspath(path).split("/"))
    rel = os.path.relpath(path, served_root).replace(os.sep, "/")
    return "http://%s/%s" % (server, "/".join(_quote_part(p) for p in rel.split("/")))


def _quote_part(part):
    return quote(part, safe="!$&'()*+,;=:@~-._")


def file_refs(path):
    """(references, base href) of a page or a style sheet; ([], None) for others."""
    if not path.lower().endswith(PAGE_EXTS + (".css",)):
        return [], None
    st = os.stat(path)
    return _read_refs(path, st.st_mtime_ns, st.st_size)


@functools.lru_cache(maxsize=4096)
def _read_refs(path, mtime_ns, size):
    # Cached: the original tree is read twice, to find its pages and to check
    # it, and parsing dominates. The file's date and size key out stale entries.
    with open(path, errors="replace") as f:
        text = f.read()
    if path.lower().endswith(".css"):
        return tuple(Ref("requisite", "css", u) for u in css_urls(text)), None
    refs, base = html_refs(text)
    return tuple(refs), base


def check_tree(top, server, served_root=None, bound=None, examples=4):
    """Counts how the references of every page and style sheet below `top`
    resolve (see resolve). Keys: pages, sheets, ok, broken_requisite,
    broken_link, server_requisite, server_link, other, and outside (files
    that exist but lie outside folder `bound`, as a copy's link into the
    machine's own files); "examples" maps each problem to its most frequent
    targets, as (count, file, reference)."""
    c, found = Counter(), {}
    for root, dirs, names in os.walk(top):
        dirs.sort()
        for name in sorted(names):
            path = os.path.join(root, name)
            refs, base_href = file_refs(path)
            if name.lower().endswith(".css"):
                c["sheets"] += 1
            elif name.lower().endswith(PAGE_EXTS):
                c["pages"] += 1
            base = page_url(path, server, served_root)
            if base_href:
                base = urljoin(base, base_href)
            for ref in refs:
                what, target = resolve(ref.url, base, server, served_root)
                what = "broken" if what == "folder" else what
                if what == "ok" and bound and not target.startswith(os.path.join(bound, "")):
                    what = "outside"
                key = what if what in ("ok", "other", "skip", "outside") else \
                    "%s_%s" % (what, ref.kind)
                c[key] += 1
                if key not in ("ok", "other", "skip"):
                    # One entry per target, however it is written.
                    t = target or urldefrag(urljoin(base, ref.url))[0]
                    seen = found.setdefault(key, {}).setdefault(t, [0, os.path.relpath(path, top),
                                                                    ref.url])
                    seen[0] += 1
    c.pop("skip", None)
    result = dict(c)
    result["examples"] = {k: [tuple(v) for v in sorted(targets.values(), key=lambda v: -v[0])]
                          [:examples] for k, targets in found.items()}
    return result


def reachable_pages(root, start, server):
    """Pages of the tree at `root`, served at `server`, reachable from page
    `start` (a path below root) through local references, as paths below root."""
    seen, todo = {start}, [start]
    while todo:
        rel = todo.pop()
        path = os.path.join(root, rel)
        refs, base_href = file_refs(path)
        base = page_url(path, server, root)
        if base_href:
            base = urljoin(base, base_href)
        for ref in refs:
            what, target = resolve(ref.url, base, server, root)
            if what != "ok" or not target.lower().endswith(PAGE_EXTS):
                continue
            t = os.path.relpath(target, root)
            if t not in seen and not t.startswith(".."):
                seen.add(t)
                todo.append(t)
    return sorted(seen)

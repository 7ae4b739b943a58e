#!/usr/bin/env python3
"""Collects the figures of one benchmark run and prints the results table.

  measure.py record --results FILE --scenario S --tool T --exit RC --time TIMEFILE
                    [--log ACCESS_LOG --log-from LINE] [--out DIR] [--links]
      appends one JSON line to FILE with: wall and CPU time and peak memory
      (from GNU time -v), the requests the server logged after line LINE, the
      files stored below the tool's folder for the server, and (with --links)
      how the links of the stored pages resolve on disk.
  measure.py table FILE
      prints every recorded run as a table.

The access log has one request per line: "METHOD STATUS BYTES PATH", which is
what run.sh asks nginx for and what slow_server.py writes.
"""

import argparse
import json
import os
import re
import sys
from urllib.parse import unquote, urlsplit

SERVER_HOSTS = ("127.0.0.1",)


def parse_time(path):
    """Figures of GNU time -v: wall seconds, CPU seconds, peak RSS in KiB."""
    got = {}
    with open(path, errors="replace") as f:
        for line in f:
            key, _, value = line.strip().rpartition(": ")
            if key.startswith("Elapsed (wall clock) time"):
                secs = 0.0
                for part in value.split(":"):
                    secs = secs * 60 + float(part)
                got["wall"] = secs
            elif key == "User time (seconds)":
                got["user"] = float(value)
            elif key == "System time (seconds)":
                got["sys"] = float(value)
            elif key == "Maximum resident set size (kbytes)":
                got["rss_kb"] = int(value)
            elif line.startswith("Command terminated by signal"):
                got["signal"] = line.strip()
    missing = {"wall", "user", "sys", "rss_kb"} - got.keys()
    if missing:
        raise ValueError("%s lacks %s" % (path, ", ".join(sorted(missing))))
    got["cpu"] = got["user"] + got["sys"]
    return got


def count_requests(lines):
    """Counts logged requests: bodies sent (GET answered 200 with bytes > 0),
    HEAD requests, and, whatever the method, 304, redirect and 404 answers."""
    c = {"requests": 0, "get_body": 0, "body_bytes": 0, "head": 0,
         "not_modified": 0, "redirect": 0, "not_found": 0}
    for line in lines:
        parts = line.split()
        if len(parts) < 3:
            continue
        method, status, size = parts[0], parts[1], parts[2]
        size = int(size) if size.isdigit() else 0
        c["requests"] += 1
        if method == "HEAD":
            c["head"] += 1
        elif method == "GET" and status == "200" and size > 0:
            c["get_body"] += 1
            c["body_bytes"] += size
        if status == "304":
            c["not_modified"] += 1
        elif status in ("301", "302", "303", "307", "308"):
            c["redirect"] += 1
        elif status == "404":
            c["not_found"] += 1
    return c


def host_dir(out):
    """The folder a tool stored the local server's files in: the first folder,
    breadth first, whose name starts with the server's address (wget2 names it
    127.0.0.1:PORT, httrack 127.0.0.1_PORT, quarn-cli 127.0.0.1)."""
    level = [out]
    while level:
        nxt = []
        for d in sorted(level):
            for entry in sorted(os.scandir(d), key=lambda e: e.name):
                if entry.is_dir(follow_symlinks=False):
                    if entry.name.startswith(SERVER_HOSTS):
                        return entry.path
                    nxt.append(entry.path)
        level = nxt
    return None


def count_files(top):
    n, size = 0, 0
    for root, _, names in os.walk(top):
        for name in names:
            p = os.path.join(root, name)
            if os.path.isfile(p) and not os.path.islink(p):
                n += 1
                size += os.path.getsize(p)
    return n, size


def find_dirs(top, name):
    return [os.path.join(r, d) for r, ds, _ in os.walk(top) for d in ds if d == name]


LINK_RE = re.compile(r"""\b(?:href|src)\s*=\s*(?:"([^"]*)"|'([^']*)'|([^\s>"']+))""", re.I)
REFRESH_RE = re.compile(r"""http-equiv=["']?refresh["']?\s+content=["']?\d+;\s*url=file://([^"'>\s]+)""", re.I)
MISSING_RE = re.compile(r"(^|/)missing\d+\.html$")


def check_links(top):
    """Reads every stored page and resolves its links as a browser would on
    disk. Counts: links to local files that exist; local links whose file is
    missing (told apart from the site's deliberate 404 links); links left
    absolute to the local server; links to other hosts."""
    c = {"pages": 0, "ok": 0, "broken": 0, "broken_404": 0,
         "absolute_server": 0, "absolute_404": 0, "external": 0}
    samples = []
    for root, _, names in os.walk(top):
        for name in names:
            if not name.endswith((".html", ".htm")):
                continue
            page = os.path.join(root, name)
            with open(page, errors="replace") as f:
                text = f.read()
            c["pages"] += 1
            for m in REFRESH_RE.finditer(text):
                # A redirect stub: its target must have been stored.
                target = unquote(m.group(1))
                if os.path.exists(target):
                    c["ok"] += 1
                else:
                    c["broken"] += 1
                    if len(samples) < 5:
                        samples.append("stub %s points at missing %s"
                                       % (os.path.relpath(page, top), target))
            for m in LINK_RE.finditer(text):
                value = next(g for g in m.groups() if g is not None).strip()
                u = urlsplit(value)
                if u.scheme in ("mailto", "javascript", "data", "file") or value.startswith("#"):
                    continue
                if u.scheme in ("http", "https") or value.startswith("//"):
                    if (u.hostname or "") in SERVER_HOSTS:
                        c["absolute_404" if MISSING_RE.search(u.path) else "absolute_server"] += 1
                        if not MISSING_RE.search(u.path) and len(samples) < 5:
                            samples.append("absolute %s in %s" % (value, os.path.relpath(page, top)))
                    else:
                        c["external"] += 1
                    continue
                path = unquote(u.path)
                if not path:
                    continue
                target = os.path.normpath(os.path.join(root, path))
                if os.path.isdir(target):
                    target = os.path.join(target, "index.html")
                if os.path.exists(target):
                    c["ok"] += 1
                elif MISSING_RE.search(path):
                    c["broken_404"] += 1
                else:
                    c["broken"] += 1
                    if len(samples) < 5:
                        samples.append("missing %s from %s" % (value, os.path.relpath(page, top)))
    c["samples"] = samples
    return c


def record(args):
    row = {"scenario": args.scenario, "tool": args.tool, "exit": args.exit, "note": args.note,
           "kind": args.kind, "pages": args.pages, "expect": args.expect}
    row.update(parse_time(args.time))
    if args.log:
        with open(args.log, errors="replace") as f:
            lines = f.readlines()[args.log_from:]
        row.update(count_requests(lines))
    if args.out:
        top = host_dir(args.out)
        row["files"], row["bytes"] = count_files(top) if top else (0, 0)
        row["all_files"] = count_files(args.out)[0]
        row["external_dirs"] = len(find_dirs(args.out, "external.invalid"))
        if args.links and top:
            row["links"] = check_links(top)
    with open(args.results, "a") as f:
        f.write(json.dumps(row) + "\n")
    print(summary_line(row))


def summary_line(r):
    s = "%-8s %-16s exit %s  wall %.2f s  cpu %.2f s  max RSS %.1f MB" % (
        r["tool"], r["scenario"], r["exit"], r["wall"], r["cpu"], r["rss_kb"] / 1024)
    if "files" in r:
        s += "  files %d" % r["files"]
    if "requests" in r:
        s += "  requests %d (GET bodies %d, HEAD %d)" % (r["requests"], r["get_body"], r["head"])
    return s


COLUMNS = [
    ("scenario", "%s"), ("tool", "%s"), ("exit", "%s"), ("wall s", "%.2f"),
    ("cpu s", "%.2f"), ("cpu %", "%.1f"), ("max RSS MB", "%.1f"), ("files", "%s"), ("site files", "%s"),
    ("requests", "%s"), ("req/file", "%s"), ("GET bodies", "%s"), ("HEAD", "%s"), ("304", "%s"),
    ("3xx", "%s"),
    ("404", "%s"), ("MB sent", "%s"),
]


def requests_per_file(r):
    """Requests per file of the site, redirects and 404 answers aside."""
    if "requests" not in r or not r.get("expect"):
        return "-"
    own = r["requests"] - r["redirect"] - r["not_found"]
    return "%.2f" % (own / int(r["expect"]))


def table_rows(rows):
    out = []
    for r in rows:
        def g(k):
            return r.get(k, "-")
        out.append([
            r["scenario"], r["tool"], str(r["exit"]), "%.2f" % r["wall"], "%.2f" % r["cpu"],
            "%.1f" % (100.0 * r["cpu"] / r["wall"] if r["wall"] > 0 else 0),
            "%.1f" % (r["rss_kb"] / 1024), str(g("files")), str(g("expect")), str(g("requests")),
            requests_per_file(r), str(g("get_body")), str(g("head")), str(g("not_modified")),
            str(g("redirect")), str(g("not_found")),
            "%.1f" % (r["body_bytes"] / 1e6) if "body_bytes" in r else "-",
        ])
    return out


def print_table(headers, rows):
    widths = [max(len(h), *(len(row[i]) for row in rows)) for i, h in enumerate(headers)]
    print("  ".join(h.ljust(w) for h, w in zip(headers, widths)))
    print("  ".join("-" * w for w in widths))
    for row in rows:
        print("  ".join(v.ljust(w) if i < 2 else v.rjust(w)
                        for i, (v, w) in enumerate(zip(row, widths))))


def table(args):
    with open(args.results) as f:
        rows = [json.loads(line) for line in f if line.strip()]
    if not rows:
        print("no runs recorded")
        return
    print_table([c[0] for c in COLUMNS], table_rows(rows))
    checked = [r for r in rows if "links" in r]
    if checked:
        print()
        print("Links in the stored pages, resolved on disk:")
        print_table(["scenario", "tool", "pages", "local ok", "local broken",
                     "to 404 (local)", "absolute to server", "to 404 (absolute)",
                     "other hosts", "external fetched"],
                    [[r["scenario"], r["tool"]] +
                     [str(r["links"][k]) for k in ("pages", "ok", "broken", "broken_404",
                                                   "absolute_server", "absolute_404", "external")] +
                     ["yes" if r.get("external_dirs") else "no"] for r in checked])
        for r in checked:
            for s in r["links"]["samples"]:
                print("  %s %s: %s" % (r["tool"], r["scenario"], s))
    comparisons(rows)
    notes = [r for r in rows if r.get("note")]
    for r in notes:
        print("note %s %s: %s" % (r["tool"], r["scenario"], r["note"]))


def comparisons(rows):
    """Growth from the smallest to the largest first crawl, and each update
    crawl against the first crawl of the same site."""
    lines = []
    for tool in sorted({r["tool"] for r in rows}):
        first = sorted((r for r in rows if r["tool"] == tool and r.get("kind") == "first"),
                       key=lambda r: r["pages"])
        if len(first) >= 2 and first[0]["wall"] > 0:
            a, b = first[0], first[-1]
            lines.append("%-8s %d -> %d pages (x%.1f): wall x%.2f, cpu x%.2f, max RSS x%.2f"
                         % (tool, a["pages"], b["pages"], b["pages"] / a["pages"],
                            b["wall"] / a["wall"], b["cpu"] / max(a["cpu"], 1e-9),
                            b["rss_kb"] / a["rss_kb"]))
        for u in (r for r in rows if r["tool"] == tool and r.get("kind") == "update"):
            f = [r for r in first if r["pages"] == u["pages"]]
            if f and f[0]["wall"] > 0:
                lines.append("%-8s update of %d pages: wall %.0f%% of the first crawl, "
                             "%s bodies transferred (first crawl: %s)"
                             % (tool, u["pages"], 100 * u["wall"] / f[0]["wall"],
                                u.get("get_body", "-"), f[0].get("get_body", "-")))
    if lines:
        print()
        print("Comparisons:")
        for line in lines:
            print("  " + line)


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    sub = ap.add_subparsers(dest="cmd", required=True)
    rec = sub.add_parser("record")
    rec.add_argument("--results", required=True)
    rec.add_argument("--scenario", required=True)
    rec.add_argument("--tool", required=True)
    rec.add_argument("--exit", required=True)
    rec.add_argument("--time", required=True)
    rec.add_argument("--log")
    rec.add_argument("--log-from", type=int, default=0)
    rec.add_argument("--out")
    rec.add_argument("--links", action="store_true")
    rec.add_argument("--note", default="")
    rec.add_argument("--kind", default="", help="first, update, big or slow")
    rec.add_argument("--pages", type=int, default=0)
    rec.add_argument("--expect", type=int, default=0, help="files the site holds")
    tab = sub.add_parser("table")
    tab.add_argument("results")
    args = ap.parse_args(argv)
    if args.cmd == "record":
        record(args)
    else:
        table(args)
    return 0


if __name__ == "__main__":
    sys.exit(main())

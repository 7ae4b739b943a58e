#!/usr/bin/python3
"""Copies a live MediaWiki with quarn-cli and wget2 and judges the copies.

  bench/dynamic/wiki_copy.py [--port 47180] [--reuse] [--sample 12] [--json FILE] ...

Sets up Debian's MediaWiki (SQLite, PHP-FPM, nginx on 127.0.0.1 only) in a
work folder, fills it with about 200 generated articles, mirrors it from
Main Page with each tool, then judges each copy:
  1. articles stored: a stored page whose heading is the article's title;
  2. style sheet, script and image references of the stored pages that do
     not resolve from disk to a file of the right kind, and links between
     articles that do not lead to the stored article;
  3. a sample of articles rendered in headless Chromium, the original over
     http against the copy from disk with the network cut off, compared
     pixel by pixel (bench/offline/fidelity.py's rendering and comparison);
  4. what the copy of each sampled article still asks the server for.
Nothing but the servers this script starts is reachable, to the tools or to
Chromium.
"""

import argparse
import json
import os
import shlex
import shutil
import signal
import subprocess
import sys
import time
from collections import Counter

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, here)
sys.path.insert(0, os.path.join(here, "..", "offline"))
sys.path.insert(0, os.path.join(here, "..", "site"))
import fidelity  # noqa: E402
import links  # noqa: E402
import wiki_checks  # noqa: E402
import wiki_pages  # noqa: E402
import wiki_server  # noqa: E402
from measure import count_files, host_dir, print_table  # noqa: E402

log = wiki_server.log
START = "Main Page"
# wget2's best shot at a depth-limited copy, as Debian ships it (1.99.1): with
# --page-requisites and a finite --level it follows no link from any page but
# the deepest, and with --adjust-extension it converts no link at all (it looks
# for each page under its name before the renaming); both are left out.
# --robots=off, as "--no-robots" there takes the next argument for its value.
WGET2_OPTIONS = ["--mirror", "--convert-links", "--restrict-file-names=windows",
                 "--robots=off", "--no-verbose"]


def parse_args(argv):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--port", type=int, default=47180, help="port of 127.0.0.1 the wiki listens on")
    ap.add_argument("--work", help="work folder (default: $TMPDIR/quarn-wiki, $TMPDIR being /tmp "
                    "when unset); kept, so that --reuse finds the wiki")
    ap.add_argument("--reuse", action="store_true",
                    help="keep the wiki set up by an earlier run with the same port and seed")
    ap.add_argument("--setup-only", action="store_true", help="set up the wiki, copy nothing")
    ap.add_argument("--serve", action="store_true",
                    help="set up the wiki and serve it until interrupted; copy nothing")
    ap.add_argument("--seed", type=int, default=1, help="chooses the articles' titles and text")
    ap.add_argument("--tools", default="quarn,wget2", help="quarn and/or wget2, by commas")
    ap.add_argument("--quarn-cli", help="quarn-cli binary (default: $QUARN_CLI, "
                    "build-release/quarn-cli, build/quarn-cli)")
    ap.add_argument("--quarn-args", default="", help="more arguments for quarn-cli mirror, "
                    "as one shell-quoted string")
    ap.add_argument("--levels", type=int, default=3,
                    help="quarn-cli's --levels, the start page being level 1 (default 3)")
    ap.add_argument("--wget2-level", type=int,
                    help="wget2's --level, the start page being depth 0 (default: --levels - 1, "
                    "so that both follow as many links deep)")
    ap.add_argument("--wget2-options", default=" ".join(WGET2_OPTIONS),
                    help="wget2's options but --level, --max-threads and -P, as one "
                    "shell-quoted string (default: %(default)s)")
    ap.add_argument("--workers", type=int, default=4,
                    help="quarn-cli's workers and wget2's threads (default 4)")
    ap.add_argument("--php-workers", type=int, default=4, help="PHP-FPM workers (default 4)")
    ap.add_argument("--sample", type=int, default=12, help="articles to render (default 12)")
    ap.add_argument("--sample-seed", type=int, default=1, help="chooses the rendered articles")
    fidelity.add_render_options(ap)
    ap.add_argument("--skip-render", action="store_true", help="only mirror and check the copies")
    ap.add_argument("--json", help="write the figures to this file")
    args = ap.parse_args(argv)
    args.tools = [t for t in args.tools.split(",") if t]
    bad = set(args.tools) - {"quarn", "wget2"}
    if bad:
        ap.error("unknown tool %s" % ", ".join(sorted(bad)))
    if args.sample < 1 or not 0 <= args.tolerance <= 255 or args.levels < 1:
        ap.error("bad --sample, --tolerance or --levels")
    if args.wget2_level is None:
        args.wget2_level = max(args.levels - 1, 0)
    args.quarn_args = shlex.split(args.quarn_args)
    args.wget2_options = shlex.split(args.wget2_options)
    args.threshold /= 100.0
    args.keep = True   # fidelity's comparison writes diff images when this is set
    return args


def check_setup(args, run_dir):
    missing = [p for p in (wiki_server.PHP, wiki_server.PHP_FPM,
                           os.path.join(wiki_server.MW, "index.php")) if not os.path.exists(p)]
    if not (shutil.which("nginx") or os.path.exists("/usr/sbin/nginx")):
        missing.append("nginx")
    if not fidelity.has_pillow():   # draws the images, compares the shots
        missing.append("Pillow for %s" % sys.executable)
    if not args.skip_render and not (shutil.which("chromium") or shutil.which("chromium-browser")):
        missing.append("chromium")
    if missing:
        sys.exit("wiki_copy.py: missing %s; run bench/dynamic/install-wiki-deps.sh as root"
                 % ", ".join(missing))
    if "quarn" in args.tools:
        args.quarn_cli_source, args.quarn_cli = fidelity.find_quarn_cli(args.quarn_cli, run_dir)
        if not args.quarn_cli:
            log("wiki_copy.py: no quarn-cli with a mirror command (set QUARN_CLI); leaving it out")
            args.tools.remove("quarn")
    if "wget2" in args.tools and not shutil.which("wget2"):
        log("wiki_copy.py: no wget2; leaving it out")
        args.tools.remove("wget2")


def mirror_command(tool, url, out, args):
    if tool == "quarn":
        return [args.quarn_cli, "mirror", url, "--levels", str(args.levels),
                "--workers", str(args.workers), "--sites-dir", out, "--name", "Wiki"] + \
            args.quarn_args
    return ["wget2"] + args.wget2_options + ["--level=%d" % args.wget2_level,
                                             "--max-threads=%d" % args.workers, "-P", out, url]


def mirror(tool, url, out, args, server, logfile):
    """Runs one tool; returns its run's figures."""
    os.makedirs(out, exist_ok=True)
    cmd = mirror_command(tool, url, out, args)
    log("--- mirroring with %s: %s" % (tool, " ".join(shlex.quote(c) for c in cmd)))
    before = len(server.requests())
    t0 = time.monotonic()
    with open(logfile, "w") as f:
        try:
            rc = subprocess.run(cmd, stdout=f, stderr=subprocess.STDOUT,
                                timeout=args.mirror_timeout).returncode
        except subprocess.TimeoutExpired:
            rc = "timeout"
    wall = time.monotonic() - t0
    reqs = fidelity.server_requests_since(server, before)
    statuses = Counter(line.split()[1] for line in reqs if len(line.split()) > 1)
    top = host_dir(out)
    shown = [args.quarn_cli_source if c == args.quarn_cli and tool == "quarn" else c
             for c in cmd]
    return {"command": shown, "exit": rc, "wall_s": round(wall, 1),
            "files": count_files(top)[0] if top else 0, "top": top, "out": out,
            "requests": len(reqs), "statuses": dict(sorted(statuses.items()))}


def judge(tool, run, titles, server):
    """Articles stored and references of one copy."""
    top = run["top"]
    if not top:
        return {"scans": {}, "stored": {t: [] for t in titles}, "check": {"examples": {}}}
    log("--- reading %s's copy" % tool)
    scans = wiki_checks.stored_pages(top)
    stored = wiki_checks.articles_stored(titles, scans)
    check = wiki_checks.check_copy(top, server.netloc, titles, scans,
                                   bound=run["out"])
    return {"scans": scans, "stored": stored, "check": check}


def render(args, server, sample, judged, run_dir):
    """Renders each sampled article: the original twice over http, each copy
    from disk offline, then each copy again with the server reachable to
    count what it asks for. Returns ({title: {column: share or None}},
    {tool: [(title, request lines)]}, {tool: {title: copy path}})."""
    browser = fidelity.Browser(run_dir, args.budget, args.render_timeout)
    results, asked, copies = {}, {t: [] for t in judged}, {t: {} for t in judged}

    def path(kind, folder, name):
        os.makedirs(os.path.join(run_dir, kind, folder), exist_ok=True)
        return os.path.join(run_dir, kind, folder, name)

    def compare(a, b, folder, name):
        return fidelity.diff_share(a, b, args.tolerance, path("diffs", folder, name))

    for i, title in enumerate(sample):
        name = "%02d-%s.png" % (i, title.replace("/", "_").replace(" ", "_"))
        url = "http://%s%s" % (server.netloc, wiki_server.title_path(title))
        online, again = path("shots", "online", name), path("shots", "online-again", name)
        if not (browser.render(url, server.netloc, online) and
                browser.render(url, server.netloc, again)):
            log("    the original of %s did not render; left out" % title)
            continue
        row = results[title] = {"online again": compare(online, again, "online-again", name)}
        for tool, j in judged.items():
            copy = wiki_checks.best_copy(j["stored"].get(title, []), j["scans"],
                                         j["top"] or "/")
            if copy is None:
                row[tool] = None
                continue
            copies[tool][title] = copy
            curl, offline = links.page_url(copy, server.netloc), path("shots", tool, name)
            row[tool] = (compare(online, offline, tool, name)
                         if browser.render(curl, None, offline) else 1.0)
            before = len(server.requests())
            browser.render(curl, server.netloc)
            asked[tool].append((title, fidelity.server_requests_since(server, before)))
        log("    %2d/%d %s" % (i + 1, len(sample), title))
    return results, asked, copies


def pct(a, b):
    return 100.0 * a / b if b else 0.0


def report(args, wiki_info, runs, judged, titles, rendered):
    tools = list(runs)
    print("Copies of %s (%d content pages; quarn-cli --levels %d, wget2 --level=%d):"
          % (wiki_info["start"], len(titles), args.levels, args.wget2_level))
    print_table(["tool", "exit", "wall s", "files", "requests", "answers by status"],
                [[t, str(r["exit"]), "%.1f" % r["wall_s"], str(r["files"]), str(r["requests"]),
                  " ".join("%s:%d" % kv for kv in r["statuses"].items())]
                 for t, r in runs.items()])
    summary = {}
    rows = []
    for t in tools:
        j = judged[t]
        stored = sum(1 for p in j["stored"].values() if p)
        refs = wiki_checks.summarize_refs(j["check"])
        summary[t] = {"stored": stored, "refs": refs}
        rows.append([t, "%d/%d" % (stored, len(titles)), "%.1f" % pct(stored, len(titles)),
                     str(j["check"].get("pages", 0))] +
                    ["%d/%d" % (refs[k]["broken"], refs[k]["total"])
                     for k in wiki_checks.REQUISITE_KINDS] +
                    ["%d/%d" % (refs["article link"]["ok"], refs["article link"]["total"])])
    print("\nArticles stored (a stored page whose heading is the title), and the references of "
          "every stored page, resolved from disk (broken: missing, of the wrong kind, or left on "
          "the server):")
    print_table(["tool", "articles", "%", "pages read", "broken style sheets", "broken scripts",
                 "broken images", "article links to the article"], rows)
    for t in tools:
        refs = summary[t]["refs"]
        for kind in list(wiki_checks.REQUISITE_KINDS) + ["article link"]:
            outcomes = refs[kind]["by outcome"]
            if outcomes:
                print("  %s %s: %s" % (t, kind, ", ".join(
                    "%s %d" % kv for kv in sorted(outcomes.items(), key=lambda kv: -kv[1]))))
        for key, found in sorted(judged[t]["check"]["examples"].items()):
            for n, where, url in found:
                print("    %s x%d: %s (in %s)" % (key, n, url, where))
        missing = [x for x, p in judged[t]["stored"].items() if not p]
        if missing:
            print("  %s: not stored, e.g. %s" % (t, ", ".join(missing[:8])))
    if rendered is None:
        return summary
    results, asked, copies = rendered
    print("\nRendered articles, the copy from disk with the network cut off against the original "
          "over http (same: under %.2f %% of the pixels differ):" % (args.threshold * 100))
    rows = []
    for t in tools:
        shares = [r[t] for r in results.values()]
        same = sum(1 for s in shares if s is not None and s < args.threshold)
        reqs = [lines for _, lines in asked[t]]
        summary[t]["render"] = {"same": same, "rendered": len(shares),
                                "not stored": sum(1 for s in shares if s is None),
                                "pages asking": sum(1 for r in reqs if r),
                                "server requests": sum(len(r) for r in reqs)}
        rows.append([t, "%d/%d" % (same, len(shares)), str(summary[t]["render"]["not stored"]),
                     str(summary[t]["render"]["pages asking"]),
                     str(summary[t]["render"]["server requests"])])
    print_table(["tool", "pages same", "not stored", "pages asking the server",
                 "server requests"], rows)
    cols = ["online again"] + tools
    print("\nDiffering pixels per article, % (\"online again\": the original rendered twice):")
    print_table(["article"] + cols,
                [[title] + ["not stored" if r.get(c) is None else "%.2f" % (100 * r[c])
                            for c in cols] for title, r in results.items()])
    for t in tools:
        seen = Counter()
        for _, lines in asked[t]:
            seen.update(line.split(" ", 3)[-1] for line in lines)
        summary[t]["render"]["asked"] = dict(seen.most_common())
        for uri, n in seen.most_common(6):
            print("  %s: the copies ask the server for %s (x%d)" % (t, uri, n))
        if len(seen) > 6:
            print("  %s: ... %d different addresses in all" % (t, len(seen)))
    return summary


def run(args, work):
    run_dir = os.path.join(work, "run")
    if os.path.isdir(run_dir):
        shutil.rmtree(run_dir)
    os.makedirs(os.path.join(run_dir, "logs"))
    check_setup(args, run_dir)
    wiki = wiki_server.Wiki(work, args.port, args.seed)
    t0 = time.monotonic()
    if args.reuse and wiki.ready():
        log("Reusing the wiki in %s" % wiki.dir)
    else:
        wiki.set_up()
    t_setup = time.monotonic()
    figures = {"date": time.strftime("%Y-%m-%d %H:%M:%S"), "work": work}
    with wiki_server.Servers(wiki, args.php_workers) as server:
        titles = server.api_titles()
        expected = wiki_pages.content_titles(args.seed)
        if sorted(titles) != sorted(expected):
            log("wiki_copy.py: the wiki holds %d content pages, %d were made"
                % (len(titles), len(expected)))
        url = "http://%s%s" % (server.netloc, wiki_server.title_path(START))
        log("Serving the wiki at %s (%d content pages); viewing each once to fill the "
            "parser cache" % (url, len(titles)))
        server.warm(titles)
        wiki_info = {"start": url, "content pages": len(titles),
                     "mediawiki": _package_version("mediawiki")}
        figures["wiki"] = wiki_info
        if args.serve:
            log("Serving until interrupted (Ctrl+C or SIGTERM)")
            while True:
                time.sleep(3600)
        if args.setup_only:
            return figures
        if "quarn" in args.tools:
            log("quarn-cli: %s" % args.quarn_cli_source)
        runs, judged = {}, {}
        t_mirror = time.monotonic()
        for tool in args.tools:
            out = os.path.join(run_dir, "out", tool)
            runs[tool] = mirror(tool, url, out, args, server,
                                os.path.join(run_dir, "logs", tool + ".log"))
        t_check = time.monotonic()
        for tool in args.tools:
            judged[tool] = judge(tool, runs[tool], titles, server)
            judged[tool]["top"] = runs[tool]["top"]
        t_render = time.monotonic()
        rendered = None
        if not args.skip_render and args.tools:
            sample = fidelity.sample_pages(titles, START, args.sample, args.sample_seed)
            log("--- rendering %d articles" % len(sample))
            rendered = render(args, server, sample, judged, run_dir)
        t_end = time.monotonic()
    summary = report(args, wiki_info, runs, judged, titles, rendered)
    print("\nTime: wiki %s %.0f s, mirroring %.0f s, checks %.0f s, rendering %.0f s"
          % ("reused" if args.reuse and t_setup - t0 < 5 else "set up", t_setup - t0,
             t_check - t_mirror, t_render - t_check, t_end - t_render))
    print("Work folder: %s (copies in run/out, screenshots in run/shots, diffs in run/diffs)"
          % work)
    figures.update(_figures(args, runs, judged, titles, summary, rendered))
    return figures


def _package_version(name):
    r = subprocess.run(["dpkg-query", "-W", "-f=${Version}", name], capture_output=True,
                       text=True)
    return r.stdout.strip() or None


def _figures(args, runs, judged, titles, summary, rendered):
    out = {"options": {"levels": args.levels, "wget2 level": args.wget2_level,
                       "workers": args.workers, "php workers": args.php_workers,
                       "sample": args.sample, "sample seed": args.sample_seed, "seed": args.seed,
                       "threshold pct": args.threshold * 100, "tolerance": args.tolerance},
           "tools": {}}
    if "quarn" in runs:
        out["quarn-cli"] = args.quarn_cli_source
    for t, r in runs.items():
        j, s = judged[t], summary[t]
        rec = {k: v for k, v in r.items() if k not in ("top", "out")}
        rec["articles"] = {"stored": s["stored"], "total": len(titles),
                           "pct": round(pct(s["stored"], len(titles)), 1),
                           "not stored": sorted(x for x, p in j["stored"].items() if not p)}
        rec["pages read"] = j["check"].get("pages", 0)
        rec["references"] = s["refs"]
        rec["reference problems"] = j["check"]["examples"]
        if rendered:
            results, _, copies = rendered
            rec["render"] = dict(s["render"], pages={
                title: {"differing pct": None if row.get(t) is None else round(100 * row[t], 3),
                        "noise pct": round(100 * row["online again"], 3),
                        "copy": copies[t].get(title)}
                for title, row in results.items()})
        out["tools"][t] = rec
    return out


def main(argv=None):
    args = parse_args(argv)
    # A plain kill unwinds like Ctrl+C: the servers are stopped.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    work = os.path.abspath(args.work or os.path.join(os.environ.get("TMPDIR", "/tmp"),
                                                     "quarn-wiki"))
    os.makedirs(work, exist_ok=True)
    os.chmod(work, 0o755)   # nginx's worker reads the uploads as another user
    try:
        figures = run(args, work)
    except KeyboardInterrupt:
        return 130
    except SystemExit as e:
        if args.serve and e.code == 143:
            return 0
        raise
    if args.json:
        with open(args.json, "w") as f:
            json.dump(figures, f, indent=1, ensure_ascii=False, default=str)
        log("Wrote %s" % args.json)
    return 0


if __name__ == "__main__":
    sys.exit(main())

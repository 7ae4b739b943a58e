"""Sets up Debian's MediaWiki in a work folder and serves it on 127.0.0.1 with
PHP-FPM and nginx, both started here and both stopped here.

All state lives in the work folder: the SQLite files, LocalSettings.php (found
through MW_CONFIG_FILE, so /etc/mediawiki stays empty), uploads, caches, the
servers' configurations, sockets, pid files and logs. The code is run where
the package put it, /usr/share/mediawiki.
"""

import json
import os
import shutil
import socket
import subprocess
import sys
import time
import urllib.request
from urllib.parse import quote

import wiki_pages

MW = "/usr/share/mediawiki"
PHP = "/usr/bin/php"
PHP_FPM = "/usr/sbin/php-fpm8.2"
SITENAME = "Quarn Bench Wiki"
ADMIN, ADMIN_PASS = "Admin", "Bench-admin-pass-1"
SETUP_VERSION = 1   # bump when the content or settings change, so --reuse rebuilds


def log(msg):
    print(msg, file=sys.stderr, flush=True)


class Wiki:
    def __init__(self, work, port, seed):
        self.work, self.port, self.seed = work, port, seed
        self.dir = os.path.join(work, "wiki")
        self.settings = os.path.join(self.dir, "LocalSettings.php")
        self.server = "http://127.0.0.1:%d" % port
        self.marker = os.path.join(self.dir, "setup.json")

    def env(self):
        e = dict(os.environ, MW_CONFIG_FILE=self.settings, TMPDIR=os.path.join(self.dir, "tmp"))
        return e

    def maint(self, script, *args, stdin=None, logname=None):
        """Runs a maintenance script; its output goes to the setup log."""
        cmd = [PHP, os.path.join(MW, "maintenance", script + ".php")] + list(args)
        with open(os.path.join(self.dir, "setup.log"), "a") as f:
            f.write("$ %s\n" % " ".join(cmd))
            f.flush()
            r = subprocess.run(cmd, env=self.env(), stdin=stdin, stdout=f,
                               stderr=subprocess.STDOUT, cwd=MW)
        if r.returncode:
            raise RuntimeError("%s failed (%d); see %s" % (script, r.returncode,
                                                            os.path.join(self.dir, "setup.log")))

    def ready(self):
        """Whether an earlier setup for the same port, seed and content is there."""
        try:
            with open(self.marker) as f:
                m = json.load(f)
        except (OSError, ValueError):
            return False
        return m == self._marker()

    def _marker(self):
        return {"port": self.port, "seed": self.seed, "version": SETUP_VERSION}

    def set_up(self):
        """Installs the wiki afresh and fills it."""
        if os.path.isdir(self.dir):
            shutil.rmtree(self.dir)
        for d in ("data", "images", "cache", "tmp", "content"):
            os.makedirs(os.path.join(self.dir, d))
        os.chmod(self.work, 0o755)
        os.chmod(self.dir, 0o755)
        t0 = time.monotonic()
        log("--- installing MediaWiki in %s" % self.dir)
        # install.php writes LocalSettings.php to --confpath and must not find
        # one through MW_CONFIG_FILE, hence the missing file's name here.
        env = dict(self.env(), MW_CONFIG_FILE=os.path.join(self.dir, "none.php"))
        with open(os.path.join(self.dir, "setup.log"), "a") as f:
            subprocess.run([PHP, os.path.join(MW, "maintenance", "install.php"),
                            "--dbtype", "sqlite", "--dbpath", os.path.join(self.dir, "data"),
                            "--dbname", "wiki", "--server", self.server, "--scriptpath", "",
                            "--lang", "en", "--pass", ADMIN_PASS, "--confpath", self.dir,
                            "--skins", "Vector", SITENAME, ADMIN],
                           env=env, stdout=f, stderr=subprocess.STDOUT, cwd=MW, check=True)
        with open(self.settings, "a") as f:
            f.write(self.extra_settings())
        content = os.path.join(self.dir, "content")
        wiki_pages.write_images(os.path.join(content, "images"), self.seed)
        # Images first, so that no page is rendered with a red link to one.
        log("--- importing images and pages")
        self.maint("importImages", "--user", ADMIN, "--comment", "bench image",
                   "--extensions", "png", os.path.join(content, "images"))
        pages = wiki_pages.pages(self.seed)
        main = pages.pop()   # Main Page exists already: a new revision of it, by edit.php
        dump = os.path.join(content, "pages.xml")
        with open(dump, "w", encoding="utf-8") as f:
            f.write(wiki_pages.dump_xml(pages))
        self.maint("importDump", "--report", "50", dump)
        with open(os.path.join(content, "main.txt"), "w", encoding="utf-8") as f:
            f.write(main[1])
        with open(os.path.join(content, "main.txt"), encoding="utf-8") as f:
            self.maint("edit", "--user", ADMIN, "--summary", "bench content", main[0], stdin=f)
        log("--- rebuilding link tables, statistics and recent changes")
        self.maint("rebuildrecentchanges")
        self.maint("initSiteStats", "--update")
        self.maint("runJobs")
        self.maint("refreshLinks")
        self.maint("runJobs")
        with open(self.marker, "w") as f:
            json.dump(self._marker(), f)
        log("    set up in %.0f s" % (time.monotonic() - t0))

    def extra_settings(self):
        d = self.dir
        return """
# --- bench settings ---
# Addresses as real wikis have them: /wiki/Title for pages, scripts at the root.
$wgArticlePath = "/wiki/$1";
$wgUsePathInfo = true;
$wgEnableUploads = true;
$wgUploadDirectory = "{d}/images";
$wgUploadPath = "/images";
# The images are smaller than any thumbnail asked for: nothing is scaled, and
# nothing may call the machine's convert.
$wgUseImageMagick = false;
$wgCacheDirectory = "{d}/cache";
$wgTmpDirectory = "{d}/tmp";
$wgEnableEmail = false;
# Nothing here may reach another host.
$wgUseInstantCommons = false;
$wgPingback = false;
""".format(d=d)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def port_free(port):
    with socket.socket() as s:
        # As servers bind: connections of an earlier run in TIME_WAIT do not count.
        s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        try:
            s.bind(("127.0.0.1", port))
        except OSError:
            return False
    return True


class Servers:
    """PHP-FPM (a static pool of `children` workers on a socket in the work
    folder) and nginx (one worker) on 127.0.0.1:port, both in the foreground as
    our children, so that they end with us. nginx's access log has
    "METHOD STATUS BYTES URI" per request."""

    def __init__(self, wiki, children=2):
        self.wiki, self.children = wiki, children
        self.port = wiki.port
        self.netloc = "127.0.0.1:%d" % self.port
        self.dir = os.path.join(wiki.work, "server")
        self.access_log = os.path.join(self.dir, "access.log")
        self.procs = []

    def __enter__(self):
        p = self.dir
        if os.path.isdir(p):
            shutil.rmtree(p)
        os.makedirs(os.path.join(p, "tmp"))
        os.chmod(p, 0o755)
        if not port_free(self.port):
            raise RuntimeError("port %d of 127.0.0.1 is taken; choose another with --port"
                               % self.port)
        sock = os.path.join(p, "php-fpm.sock")
        fpm_conf = os.path.join(p, "php-fpm.conf")
        with open(fpm_conf, "w") as f:
            f.write("""[global]
pid = {p}/php-fpm.pid
error_log = {p}/php-fpm.log
daemonize = no
[wiki]
; Runs as root (-R), as this sandbox does; the wiki's files are root's.
user = root
group = root
listen = {sock}
listen.mode = 0666
pm = static
pm.max_children = {n}
clear_env = yes
env[MW_CONFIG_FILE] = {settings}
env[TMPDIR] = {tmp}
catch_workers_output = yes
php_admin_value[error_log] = {p}/php-errors.log
php_admin_flag[log_errors] = on
""".format(p=p, sock=sock, n=self.children, settings=self.wiki.settings,
                   tmp=os.path.join(self.wiki.dir, "tmp")))
        conf = os.path.join(p, "nginx.conf")
        with open(conf, "w") as f:
            f.write("""daemon off;
master_process on;
worker_processes 1;
pid {p}/nginx.pid;
error_log {p}/error.log warn;
events {{ worker_connections 1024; }}
http {{
  include /etc/nginx/mime.types;
  default_type application/octet-stream;
  log_format bench '$request_method $status $body_bytes_sent $request_uri';
  access_log {log} bench;
  client_body_temp_path {p}/tmp/body;
  proxy_temp_path {p}/tmp/proxy;
  fastcgi_temp_path {p}/tmp/fastcgi;
  uwsgi_temp_path {p}/tmp/uwsgi;
  scgi_temp_path {p}/tmp/scgi;
  keepalive_requests 1000000;
  server {{
    listen {netloc};
    server_name 127.0.0.1;
    root {mw};
    index index.php;
    client_max_body_size 8m;
    location = / {{ return 301 /wiki/Main_Page; }}
    # Pretty addresses: the script reads the title back from REQUEST_URI.
    location /wiki/ {{ rewrite ^ /index.php last; }}
    location ~ ^/(index|load|api|rest|opensearch_desc|thumb|img_auth)\\.php(/|$) {{
      fastcgi_split_path_info ^(.+?\\.php)(/.*)$;
      include /etc/nginx/fastcgi_params;
      fastcgi_param SCRIPT_FILENAME $document_root$fastcgi_script_name;
      fastcgi_param PATH_INFO $fastcgi_path_info;
      fastcgi_pass unix:{sock};
    }}
    location /images/ {{ alias {images}/; }}
    location ~ ^/(resources|skins|extensions)/ {{ try_files $uri =404; }}
    location = /favicon.ico {{ return 404; }}
    location / {{ return 404; }}
  }}
}}
""".format(p=p, log=self.access_log, netloc=self.netloc, mw=MW, sock=sock,
                   images=os.path.join(self.wiki.dir, "images")))
        open(self.access_log, "w").close()
        self.procs.append(subprocess.Popen(
            [PHP_FPM, "-R", "-F", "-y", fpm_conf], stdout=subprocess.DEVNULL,
            stderr=open(os.path.join(p, "php-fpm.out"), "w"), start_new_session=True))
        nginx = shutil.which("nginx") or "/usr/sbin/nginx"
        self.procs.append(subprocess.Popen(
            [nginx, "-p", p + "/", "-c", conf, "-e", os.path.join(p, "error.log")],
            stdout=subprocess.DEVNULL, stderr=open(os.path.join(p, "nginx.out"), "w"),
            start_new_session=True))
        for _ in range(100):
            if os.path.exists(sock):
                try:
                    socket.create_connection(("127.0.0.1", self.port), timeout=1).close()
                    break
                except OSError:
                    pass
            if any(pr.poll() is not None for pr in self.procs):
                self.__exit__()
                raise RuntimeError("php-fpm or nginx did not start; see %s" % p)
            time.sleep(0.1)
        else:
            self.__exit__()
            raise RuntimeError("the wiki does not listen on %s" % self.netloc)
        return self

    def __exit__(self, *exc):
        for pr in reversed(self.procs):
            if pr.poll() is None:
                pr.terminate()
                try:
                    pr.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    os.killpg(pr.pid, 9)   # its own session: master and workers
                    pr.wait()
        self.procs = []

    def requests(self):
        with open(self.access_log, errors="replace") as f:
            return f.read().splitlines()

    def get(self, path, timeout=60):
        with urllib.request.urlopen("http://%s%s" % (self.netloc, path), timeout=timeout) as r:
            return r.status, r.headers.get("Content-Type", ""), r.read()

    def warm(self, titles):
        """Views every content page once, so that the parser cache holds them and
        neither tool pays for the first rendering."""
        for t in titles:
            self.get(title_path(t))

    def api_titles(self):
        """Every page of the main namespace, by the wiki's own API."""
        titles, cont = [], {}
        while True:
            q = "&".join("%s=%s" % kv for kv in dict(
                {"action": "query", "list": "allpages", "apnamespace": "0", "aplimit": "500",
                 "format": "json"}, **cont).items())
            _, _, body = self.get("/api.php?" + q)
            data = json.loads(body)
            titles += [p["title"] for p in data["query"]["allpages"]]
            if "continue" not in data:
                return titles
            cont = {k: quote(str(v)) for k, v in data["continue"].items()}


def title_path(title):
    """The address path MediaWiki writes for an article: spaces as underscores,
    then percent-encoding that leaves ;@$!*(),/~: as they are."""
    return "/wiki/" + quote(title.replace(" ", "_"), safe=";@$!*(),/~:")

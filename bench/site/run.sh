#!/usr/bin/env bash
# Mirrors generated sites served by nginx on 127.0.0.1 with quarn-cli, wget2 and
# httrack, one tool at a time, and prints wall time, CPU time, peak memory, files
# stored and the requests the server saw for each run.
#
#   bench/site/run.sh [--pages N]... [--only quarn|wget2|httrack]... [--skip-big]
#                     [--skip-slow] [--skip-update] [--big-mib M] [--slow-pages N]
#                     [--keep]
#
# Defaults: --pages 1000 --pages 10000, all three tools, a 1024 MiB file, a
# 100-page site behind a server that waits one second before every answer.
# quarn-cli is $QUARN_CLI, else build-release/quarn-cli, else build/quarn-cli.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)

usage() { sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'; }

pages=() tools=() skip_big=0 skip_slow=0 skip_update=0 keep=0 big_mib=1024 slow_pages=100
tool_timeout=${BENCH_TOOL_TIMEOUT:-1800}
while [ $# -gt 0 ]; do
  case "$1" in
    --pages) pages+=("${2:?--pages needs a number}"); shift 2 ;;
    --only) IFS=, read -r -a more <<<"${2:?--only needs a tool}"; tools+=("${more[@]}"); shift 2 ;;
    --skip-big) skip_big=1; shift ;;
    --skip-slow) skip_slow=1; shift ;;
    --skip-update) skip_update=1; shift ;;
    --big-mib) big_mib=${2:?}; shift 2 ;;
    --slow-pages) slow_pages=${2:?}; shift 2 ;;
    --keep) keep=1; shift ;;
    -h|--help) usage; exit 0 ;;
    *) echo "run.sh: unknown argument $1" >&2; usage >&2; exit 2 ;;
  esac
done
[ ${#pages[@]} -gt 0 ] || pages=(1000 10000)
[ ${#tools[@]} -gt 0 ] || tools=(quarn wget2 httrack)
for t in "${tools[@]}"; do
  case "$t" in quarn|wget2|httrack) ;; *) echo "run.sh: unknown tool $t" >&2; exit 2 ;; esac
done
for n in "${pages[@]}" "$big_mib" "$slow_pages"; do
  [[ "$n" =~ ^[1-9][0-9]*$ ]] || { echo "run.sh: not a positive number: $n" >&2; exit 2; }
done

PATH=$PATH:/usr/sbin:/sbin
missing=()
for c in nginx wget2 httrack python3; do command -v "$c" >/dev/null || missing+=("$c"); done
[ -x /usr/bin/time ] || missing+=("/usr/bin/time")
if [ ${#missing[@]} -gt 0 ]; then
  echo "run.sh: missing ${missing[*]}; run bench/site/install-bench-deps.sh as root." >&2
  exit 1
fi

want() { local t; for t in "${tools[@]}"; do [ "$t" = "$1" ] && return 0; done; return 1; }

quarn_cli=${QUARN_CLI:-}
if [ -z "$quarn_cli" ]; then
  for c in "$root/build-release/quarn-cli" "$root/build/quarn-cli"; do
    [ -x "$c" ] && { quarn_cli=$c; break; }
  done
fi
if want quarn; then
  if [ -z "$quarn_cli" ] || [ ! -x "$quarn_cli" ] || ! "$quarn_cli" --help 2>&1 | grep -qw mirror; then
    echo "run.sh: no quarn-cli with a mirror command (set QUARN_CLI); leaving quarn out." >&2
    tools=($(printf '%s\n' "${tools[@]}" | grep -vx quarn || true))
  fi
fi
[ ${#tools[@]} -gt 0 ] || { echo "run.sh: no tool left to run" >&2; exit 1; }

# Outputs stay until the end: on ext4, creating files right after tens of
# thousands were deleted is several times slower (the inode allocator skips
# recently freed inodes), which would charge one tool for another's clean-up.
work=$(mktemp -d "${TMPDIR:-/tmp}/quarn-bench.XXXXXX")
chmod 755 "$work"   # nginx's workers may run as another user and must read the sites
results=$work/results.jsonl
mkdir -p "$work/logs"
nginx_prefix="" slow_pid=""

stop_nginx() {
  [ -n "$nginx_prefix" ] || return 0
  local pid
  pid=$(cat "$nginx_prefix/nginx.pid" 2>/dev/null || true)
  if [ -n "$pid" ] && kill -QUIT "$pid" 2>/dev/null; then
    for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  fi
  nginx_prefix=""
}

stop_slow() {
  [ -n "$slow_pid" ] || return 0
  kill "$slow_pid" 2>/dev/null || true
  wait "$slow_pid" 2>/dev/null || true
  slow_pid=""
}

cleanup() {
  stop_nginx
  stop_slow
  if [ "$keep" = 1 ]; then echo "Kept $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

site_files() {
  python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["files"])' "$1/manifest.json"
}

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

wait_for_port() {
  local port=$1
  for _ in $(seq 100); do
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && return 0
    sleep 0.1
  done
  echo "run.sh: nothing listens on port $port" >&2
  return 1
}

# start_nginx SITE_FOLDER: serves SITE_FOLDER/www with its redirects.conf; sets
# port, url, access_log.
start_nginx() {
  local site=$1
  nginx_prefix=$work/nginx-$(basename "$site")
  mkdir -p "$nginx_prefix/tmp"
  port=$(free_port)
  access_log=$nginx_prefix/access.log
  : >"$access_log"
  local redirects="# no redirects"
  [ -f "$site/redirects.conf" ] && redirects="include $site/redirects.conf;"
  cat >"$nginx_prefix/nginx.conf" <<EOF
daemon on;
worker_processes 1;
pid $nginx_prefix/nginx.pid;
error_log $nginx_prefix/error.log warn;
events { worker_connections 1024; }
http {
  types {
    text/html html htm;
    text/css css;
    image/png png;
    image/gif gif;
  }
  default_type application/octet-stream;
  log_format bench '\$request_method \$status \$body_bytes_sent \$uri';
  access_log $access_log bench;
  client_body_temp_path $nginx_prefix/tmp/body;
  proxy_temp_path $nginx_prefix/tmp/proxy;
  fastcgi_temp_path $nginx_prefix/tmp/fastcgi;
  uwsgi_temp_path $nginx_prefix/tmp/uwsgi;
  scgi_temp_path $nginx_prefix/tmp/scgi;
  sendfile on;
  keepalive_requests 1000000;
  server {
    listen 127.0.0.1:$port;
    root $site/www;
    index index.html;
    $redirects
  }
}
EOF
  nginx -p "$nginx_prefix/" -c "$nginx_prefix/nginx.conf" -e "$nginx_prefix/error.log"
  wait_for_port "$port"
  url=http://127.0.0.1:$port/index.html
}

# run_tool KIND PAGES SCENARIO TOOL OUT CHECK_LINKS LOG [NOTE]: runs one mirror
# of $url into OUT under GNU time and records its figures, with $expect, the
# number of files the site holds.
run_tool() {
  local kind=$1 n=$2 scenario=$3 tool=$4 out=$5 links=$6 log=$7 note=${8:-}
  local from rc=0 args=()
  mkdir -p "$out"
  from=$(wc -l <"$log")
  case "$tool" in
    quarn) args=("$quarn_cli" mirror "$url" --workers 8 --sites-dir "$out" --quiet) ;;
    wget2)
      # --convert-links, because quarn-cli and httrack rewrite links too;
      # --timestamping on an update, so unchanged files are not taken again.
      args=(wget2 --recursive --level=inf --max-threads=8 --no-robots --convert-links
            --no-verbose -P "$out")
      [ "$kind" = update ] && args+=(--timestamping)
      args+=("$url") ;;
    httrack)
      # Local server: no robots.txt, no rate caps. Its default of ten new
      # connections a second (-%c) slows it to about one file a second here;
      # -%c0 lifts it, which needs --disable-security-limits.
      args=(httrack "$url" -O "$out" -c8 -%v0 -q -s0 --disable-security-limits
            -%c0 -A1000000000)
      [ "$kind" = update ] && args+=(--update) ;;
  esac
  echo "--- $scenario: $tool" >&2
  # Flush what earlier runs left to write, so that no run pays for another's
  # disk writes.
  sync
  /usr/bin/time -v -o "$work/time.txt" timeout -k 10 "$tool_timeout" "${args[@]}" \
    >"$work/logs/$scenario-$tool.out" 2>&1 || rc=$?
  local flags=()
  [ "$links" = 1 ] && flags+=(--links)
  python3 "$here/measure.py" record --results "$results" --kind "$kind" --pages "$n" \
    --scenario "$scenario" --tool "$tool" --exit "$rc" --time "$work/time.txt" \
    --log "$log" --log-from "$from" --out "$out" --expect "$expect" --note "$note" \
    "${flags[@]}" >&2
  if [ "$rc" != 0 ]; then
    echo "    $tool exited $rc; last lines of its output:" >&2
    tail -n 5 "$work/logs/$scenario-$tool.out" | sed 's/^/    /' >&2
  fi
}

echo "Quarn site benchmark: $(nproc) cores; tools: ${tools[*]}" >&2
want quarn && echo "quarn-cli: $quarn_cli" >&2
want wget2 && echo "wget2: $(wget2 --version 2>/dev/null | head -n 1) (with --convert-links)" >&2
want httrack && echo "httrack: $(httrack --version 2>/dev/null | head -n 1)" >&2

for n in "${pages[@]}"; do
  site=$work/site-$n
  python3 "$here/generate_site.py" --pages "$n" --out "$site" >&2
  expect=$(site_files "$site")
  start_nginx "$site"
  for t in "${tools[@]}"; do
    out=$work/out-$n-$t
    run_tool first "$n" "first-$n" "$t" "$out" 1 "$access_log"
    if [ "$skip_update" = 0 ]; then
      # Same output folder, nothing changed on the server.
      run_tool update "$n" "update-$n" "$t" "$out" 1 "$access_log"
    fi
  done
  stop_nginx
done

if [ "$skip_big" = 0 ]; then
  site=$work/site-big
  mkdir -p "$site/www"
  printf '<html><body><a href="big.bin">big file</a></body></html>\n' >"$site/www/index.html"
  truncate -s "${big_mib}M" "$site/www/big.bin"   # sparse: costs no disk on the server side
  expect=2
  start_nginx "$site"
  for t in "${tools[@]}"; do
    out=$work/out-big-$t
    run_tool big 0 "big-${big_mib}MiB" "$t" "$out" 0 "$access_log"
    stored=$( (find "$out" -name big.bin -type f -printf '%s\n' 2>/dev/null || true) | head -n 1)
    if [ "${stored:-0}" != $((big_mib * 1024 * 1024)) ]; then
      echo "$t stored big.bin with ${stored:-no} bytes, expected $((big_mib * 1024 * 1024))" \
        | tee -a "$work/notes.txt" >&2
    fi
    # A gigabyte per tool: never kept. One file, so deleting it does not slow
    # the file creation of later runs (see below).
    rm -rf "$out"
  done
  stop_nginx
  rm -rf "$site"   # a sparse file, nothing to delete on disk
fi

if [ "$skip_slow" = 0 ]; then
  site=$work/site-slow
  python3 "$here/generate_site.py" --pages "$slow_pages" --out "$site" >&2
  expect=$(site_files "$site")
  slow_log=$work/slow-access.log
  : >"$slow_log"
  python3 "$here/slow_server.py" "$site" --delay 1 --lifetime 3600 --access-log "$slow_log" \
    >"$work/slow-server.out" 2>&1 &
  slow_pid=$!
  port=""
  for _ in $(seq 100); do
    port=$(awk '/^PORT /{print $2}' "$work/slow-server.out")
    [ -n "$port" ] && break
    sleep 0.1
  done
  [ -n "$port" ] || { echo "run.sh: the slow server did not start" >&2; exit 1; }
  url=http://127.0.0.1:$port/index.html
  for t in "${tools[@]}"; do
    out=$work/out-slow-$t
    run_tool slow "$slow_pages" "slow-$slow_pages" "$t" "$out" 0 "$slow_log"
  done
  stop_slow
fi

echo
python3 "$here/measure.py" table "$results"
if [ -s "$work/notes.txt" ]; then echo; cat "$work/notes.txt"; fi

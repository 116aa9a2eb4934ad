#!/usr/bin/env bash
# Copies sites served by nginx on loopback with arvelo-cli and, side by side
# in the same run, with wget -r -l inf -np -p -k, and prints wall time, peak
# memory, file counts and arvelo's time as a share of wget's:
#   - generated sites of 5,000 and 100,000 small pages (bench/gen_small_site.py),
#     the first also with 1, 4 and 10 connections;
#   - Debian's python3.11-doc HTML over http and over https (arvelo also into
#     a zip archive).
# Nothing leaves loopback: arvelo fetches the site's resources only
# (--resources site) and wget never spans hosts.
#   bench/crawl_compare.sh [--quick] [--strace] [--work=DIR] [--repeat=N] [--against=CLI] [connections]
#     --quick     skips the 100,000-page site
#     --repeat=N  copies each site N times, wget and arvelo in turn, and
#                 compares the medians (a wall time on this machine varies by
#                 a fifth from one copy to the next)
#     --strace    also counts arvelo's system calls per address (strace -c -f)
#     --work=DIR  where the sites and the copies go (default /tmp). On an ext4
#                 without a journal, every new file skips the inodes deleted in
#                 the last half minute, so each copy there pays for the files
#                 the run before it removed: --work=/dev/shm measures the
#                 programs rather than that.
#     --against=CLI  copies with another build of arvelo-cli (an earlier
#                 commit's, say) where wget would copy, to measure what a
#                 change costs
#     connections: arvelo's connections (default 10); build first with scripts/setup
set -euo pipefail
cd "$(dirname "$0")/.."
quick=0
trace=0
workRoot=/tmp
connections=10
repeat=1
against=""
for arg in "$@"; do
  case "$arg" in
    --quick) quick=1 ;;
    --strace) trace=1 ;;
    --work=*) workRoot="${arg#--work=}" ;;
    --repeat=*) repeat="${arg#--repeat=}" ;;
    --against=*) against="$(realpath "${arg#--against=}")" ;;
    *) connections="$arg" ;;
  esac
done
doc=/usr/share/doc/python3.11/html
cli="$PWD/build/bin/arvelo-cli"
generate="$PWD/bench/gen_small_site.py"
[ -d "$doc" ] || { echo "python3.11-doc is not installed (scripts/setup installs it)" >&2; exit 1; }
[ -x "$cli" ] || { echo "build first: scripts/setup" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "GNU time is not installed (scripts/setup installs it)" >&2; exit 1; }

work=$(mktemp -d "$workRoot/crawl-compare.XXXXXX")
cleanup() {
  while read -r pid; do kill "$pid" 2>/dev/null || true; done < <(cat "$work/servers" 2>/dev/null)
  rm -rf "$work"
}
trap cleanup EXIT

# A certificate authority and a server certificate for 127.0.0.1, trusted
# by arvelo through its extra authority file and by wget through its option.
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout "$work/ca.key" \
  -out "$work/ca.pem" -days 30 -subj "/CN=Bench Authority" 2>/dev/null
openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout "$work/server.key" \
  -out "$work/server.csr" -subj "/CN=127.0.0.1" 2>/dev/null
printf 'subjectAltName=IP:127.0.0.1\n' > "$work/server.ext"
openssl x509 -req -in "$work/server.csr" -CA "$work/ca.pem" -CAkey "$work/ca.key" -set_serial 1 -days 30 \
  -extfile "$work/server.ext" -out "$work/server.pem" 2>/dev/null
export ARVELO_EXTRA_CA_FILE="$work/ca.pem"

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }

# Serves a folder; prints the site's base address. With "tls", over https.
serve() {
  local root="$1" tls="${2:-}" port dir listen
  port=$(free_port)
  dir=$(mktemp -d "$work/nginx.XXXX")
  listen="listen 127.0.0.1:$port;"
  [ -n "$tls" ] && listen="listen 127.0.0.1:$port ssl; ssl_certificate $work/server.pem; ssl_certificate_key $work/server.key;"
  cat > "$dir/nginx.conf" <<CONF
daemon on; master_process off; worker_processes 1;
error_log $dir/error.log warn; pid $dir/nginx.pid;
events { worker_connections 1024; }
http {
  access_log off;
  client_body_temp_path $dir/body; proxy_temp_path $dir/proxy; fastcgi_temp_path $dir/fastcgi;
  uwsgi_temp_path $dir/uwsgi; scgi_temp_path $dir/scgi;
  include /etc/nginx/mime.types;
  keepalive_requests 100000;
  server { $listen root $root; }
}
CONF
  nginx -p "$dir" -c "$dir/nginx.conf" -e "$dir/error.log"
  for _ in $(seq 100); do [ -s "$dir/nginx.pid" ] && break; sleep 0.05; done
  cat "$dir/nginx.pid" >> "$work/servers"
  if [ -n "$tls" ]; then echo "https://127.0.0.1:$port"; else echo "http://127.0.0.1:$port"; fi
}

# Runs a command in its own folder; prints its name, wall time, peak memory
# and what it saved, and adds the seconds to $work/NAME.seconds.
measure() {
  local name="$1" folder="$work/$1"; shift
  mkdir -p "$folder"
  ( cd "$folder" && /usr/bin/time -f "%e %M" -o "$work/$name.time" "$@" >"$work/$name.log" 2>&1 ) || true
  read -r seconds kilobytes < <(tail -n 1 "$work/$name.time")
  echo "$seconds" >> "$work/$name.seconds"
  local files pages
  files=$(find "$folder" -type f | wc -l)
  pages=$(find "$folder" -type f \( -name '*.html' -o -name '*.htm' \) | wc -l)
  printf '  %-22s %8ss %8s MB %8s files %7s pages\n' "$name" "$seconds" \
    "$(awk "BEGIN { printf \"%.1f\", $kilobytes / 1024 }")" "$files" "$pages"
  rm -rf "$folder"
}

median() { sort -n "$work/$1.seconds" | awk '{ a[NR] = $1 } END { print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'; }

ratio() { awk "BEGIN { printf \"%.2f\", $(median "$1") / $(median "$2") }"; }

# After several copies: the median of each.
medians() {
  [ "$repeat" -gt 1 ] || return 0
  local name line="  medians of $repeat:"
  for name in "$@"; do line+=" $name $(median "$name")s"; done
  echo "$line"
}

arvelo() {
  local name="$1" url="$2" count="$3"; shift 3
  rm -rf "$work/home-$name" # a fresh copy each time, never an update
  ARVELO_HOME="$work/home-$name" measure "$name" "${binary:-$cli}" copy "$url" "$work/$name" --connections "$count" \
    --resources site --quiet "$@"
}

wget_copy() {
  local name="$1" url="$2"
  measure "$name" wget -q -r -l inf -np -p -k --ca-certificate="$work/ca.pem" "$url"
}

compare() {
  local label="$1" url="$2" reference=wget
  [ -n "$against" ] && reference=other
  echo "$label: $url"
  for _ in $(seq "$repeat"); do
    if [ -n "$against" ]; then
      binary="$against" arvelo "other-$label" "$url" "$connections"
    else
      wget_copy "wget-$label" "$url"
    fi
    arvelo "arvelo-$label" "$url" "$connections"
  done
  medians "$reference-$label" "arvelo-$label"
  echo "  arvelo / $reference: $(ratio "arvelo-$label" "$reference-$label")"
}

echo "Arvelo with $connections connections, $(nproc) cores"

python3 "$generate" "$work/small5k" 5000 >/dev/null
small5k=$(serve "$work/small5k")
compare small5k "$small5k/index.html"
for _ in $(seq "$repeat"); do
  for count in 1 4 10; do
    arvelo "small5k-$count-connections" "$small5k/index.html" "$count"
  done
done
medians small5k-1-connections small5k-4-connections small5k-10-connections
if [ "$trace" = 1 ] && command -v strace >/dev/null; then
  ARVELO_HOME="$work/home-trace" strace -c -f -o "$work/strace.txt" "$cli" copy "$small5k/index.html" \
    "$work/trace" --connections "$connections" --resources site --quiet >/dev/null 2>&1 || true
  addresses=$(find "$work/trace" -type f | wc -l)
  echo "  system calls per address ($addresses addresses):"
  awk -v n="$addresses" '$NF ~ /^(clone|clone3|connect|socket|futex|poll|read|write|sendto|recvfrom|openat|rename)$/ {
      printf "    %-10s %8.2f\n", $NF, $4 / n }' "$work/strace.txt"
  rm -rf "$work/trace"
fi

if [ "$quick" = 0 ]; then
  python3 "$generate" "$work/small100k" 100000 >/dev/null
  small100k=$(serve "$work/small100k")
  compare small100k "$small100k/index.html"
  rm -rf "$work/small100k"
fi

doc_http=$(serve "$doc")
doc_https=$(serve "$doc" tls)
compare python-doc-http "$doc_http/index.html"
compare python-doc-https "$doc_https/index.html"
echo "  arvelo https / arvelo http: $(ratio arvelo-python-doc-https arvelo-python-doc-http)"
ARVELO_HOME="$work/home-zip" measure arvelo-python-doc-zip "$cli" copy "$doc_http/index.html" \
  --zip="$work/arvelo-python-doc-zip/site.zip" --connections "$connections" --resources site --quiet

#!/usr/bin/env bash
# Copies Debian's python3.11-doc HTML, served by nginx on loopback, with
# arvelo-cli (into a folder and into a zip archive) and, side by side in the
# same run, with wget (and HTTrack when it is installed), and prints wall
# time, peak memory and file counts.
#   bench/crawl_compare.sh [connections]     (default 10; build first with scripts/setup)
set -euo pipefail
cd "$(dirname "$0")/.."
connections="${1:-10}"
site=/usr/share/doc/python3.11/html
cli="$PWD/build/bin/arvelo-cli"
[ -d "$site" ] || { echo "python3.11-doc is not installed (scripts/setup installs it)" >&2; exit 1; }
[ -x "$cli" ] || { echo "build first: scripts/setup" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "GNU time is not installed (scripts/setup installs it)" >&2; exit 1; }

work=$(mktemp -d)
trap 'kill "$(cat "$work/nginx.pid" 2>/dev/null)" 2>/dev/null || true; rm -rf "$work"' EXIT
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
cat > "$work/nginx.conf" <<CONF
daemon on; master_process off; worker_processes 1;
error_log $work/error.log warn; pid $work/nginx.pid;
events { worker_connections 256; }
http {
  access_log off;
  client_body_temp_path $work/body; proxy_temp_path $work/proxy; fastcgi_temp_path $work/fastcgi;
  uwsgi_temp_path $work/uwsgi; scgi_temp_path $work/scgi;
  include /etc/nginx/mime.types;
  server { listen 127.0.0.1:$port; root $site; }
}
CONF
nginx -p "$work" -c "$work/nginx.conf" -e "$work/error.log"
sleep 0.5
url="http://127.0.0.1:$port/index.html"

# Runs a command in its own folder; prints its name, wall time, peak memory
# and what it saved.
measure() {
  local name="$1" folder="$work/$1"; shift
  mkdir -p "$folder"
  ( cd "$folder" && /usr/bin/time -f "%e %M" -o "$work/$name.time" "$@" >"$work/$name.log" 2>&1 ) || true
  read -r seconds kilobytes < <(tail -n 1 "$work/$name.time")
  local files pages images
  files=$(find "$folder" -type f | wc -l)
  pages=$(find "$folder" -type f \( -name '*.html' -o -name '*.htm' \) | wc -l)
  images=$(find "$folder" -type f \( -name '*.png' -o -name '*.gif' -o -name '*.jpg' -o -name '*.svg' \) | wc -l)
  printf '%-8s %8ss %9s MB %7s files %6s pages %5s images\n' "$name" "$seconds" \
    "$(awk "BEGIN { printf \"%.1f\", $kilobytes / 1024 }")" "$files" "$pages" "$images"
}

# The site as a relative file list below its host folder, without the
# names that only one tool writes.
pages_of() { (cd "$1"/*/ && find . -type f \( -name '*.html' -o -name '*.png' -o -name '*.gif' \) | sort); }

echo "Site: $site ($(find "$site" -name '*.html' | wc -l) pages, $(du -sm "$site" | cut -f1) MB), $connections connections"
export ARVELO_HOME="$work/home"
# Resources of the site only: nothing may be fetched beyond loopback.
measure arvelo "$cli" copy "$url" "$work/arvelo" --connections "$connections" --resources site --quiet
measure arvelo-zip "$cli" copy "$url" --zip="$work/arvelo-zip/site.zip" --connections "$connections" --resources site --quiet
entries=$(python3 -c 'import sys, zipfile; print(len(zipfile.ZipFile(sys.argv[1]).namelist()))' "$work"/arvelo-zip/*.zip)
echo "         (the archive holds $entries entries)"
measure wget wget -q --mirror --page-requisites --convert-links --no-parent "$url"
if command -v httrack >/dev/null; then
  measure httrack httrack "$url" -O "$work/httrack" -c"$connections" -q
fi
missing=$(comm -13 <(pages_of "$work/arvelo") <(pages_of "$work/wget") | wc -l)
echo "Pages and images wget saved that arvelo did not: $missing"
comm -13 <(pages_of "$work/arvelo") <(pages_of "$work/wget") | head -20

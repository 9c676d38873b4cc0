#!/usr/bin/env bash
# Requests per second of GET /api/status from vantrel-http and vantrel-https,
# side by side with nginx serving a small static file of the same size (plain
# and TLS, with the same certificate), measured with wrk in one run and
# printed as ratios. The same for the reload of an unchanged listing of a
# folder of 40 files (answer 304), against nginx answering 304 for a file
# with the listing's bytes.
#
#   bench/status/bench_status.sh [BIN_DIR] [SECONDS]
#
# BIN_DIR defaults to build/linux/bin, SECONDS (per measurement) to 5.
# Every request asks for "Connection: close", so each one pays for its own
# connection (and TLS handshake) on both sides, as the programs serve one
# request per connection. Everything listens on and is reached over
# 127.0.0.1; all processes and files are removed at the end.
# Needs wrk and nginx (Debian packages wrk and nginx-light).
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
bin="${1:-$here/../../build/linux/bin}"
seconds="${2:-5}"
threads=2
connections=16

for tool in wrk nginx python3 curl; do
  command -v "$tool" >/dev/null || { echo "needs $tool (apt-get install wrk nginx-light)" >&2; exit 2; }
done
[ -x "$bin/vantrel-https" ] && [ -x "$bin/vantrel-http" ] || { echo "no programs in $bin" >&2; exit 2; }

work="$(mktemp -d)"
chmod 755 "$work"  # nginx workers run as another user
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}

wait_port() {
  for _ in $(seq 100); do
    python3 -c "import socket,sys; socket.create_connection(('127.0.0.1',$1),1).close()" 2>/dev/null && return 0
    sleep 0.1
  done
  echo "nothing listens on port $1" >&2
  exit 1
}

# Requests per second from one bounded wrk run: url, then extra headers.
measure() {
  local out url="$1" extra=()
  shift
  for h in "$@"; do extra+=(-H "$h"); done
  out="$(timeout $((seconds + 30)) wrk -t"$threads" -c"$connections" -d"${seconds}s" \
         -H "Connection: close" "${extra[@]}" "$url")"
  if grep -q "Non-2xx" <<<"$out"; then echo "non-2xx answers from $1" >&2; exit 1; fi
  awk '/^Requests\/sec:/ {print $2}' <<<"$out"
}

mkdir -p "$work/www/folder"
for i in $(seq 1 40); do : >"$work/www/folder/photo_$i.jpg"; done

start_program() {  # name port home
  mkdir -p "$3"
  HOME="$3" XDG_DATA_HOME= XDG_CONFIG_HOME= "$bin/$1" --port "$2" --root "$work/www" >"$3/stdout.log" 2>&1 &
  pids+=($!)
  wait_port "$2"
}

# The session cookie of a program, logged in with the PIN it printed.
log_in() {  # url home
  local pin
  pin="$(sed -n 's/.*AUTH    PIN=\([0-9]*\).*/\1/p' "$2/stdout.log" | tail -n 1)"
  curl -sk -D - -o /dev/null -H "Content-Type: application/json" --data "{\"code\":\"$pin\"}" "$1/api/login" |
    sed -n 's/^[Ss]et-[Cc]ookie: \([^;]*\).*/\1/p'
}

etag_of() {  # url [header]
  curl -sk -D - -o /dev/null ${2:+-H "$2"} "$1" | sed -n 's/^[Ee][Tt]ag: *\([^[:space:]]*\).*/\1/p'
}

https_port="$(free_port)"
start_program vantrel-https "$https_port" "$work/home-https"
http_port="$(free_port)"
start_program vantrel-http "$http_port" "$work/home-http"

# nginx serves a file with the same bytes as the status answer, using the
# certificate and key that vantrel-https made.
status_body="$(python3 -c "import urllib.request; print(urllib.request.urlopen('http://127.0.0.1:$http_port/api/status').read().decode())")"
mkdir -p "$work/nginx/www" "$work/nginx/logs"
printf '%s' "$status_body" >"$work/nginx/www/status.json"
http_cookie="$(log_in "http://127.0.0.1:$http_port" "$work/home-http")"
https_cookie="$(log_in "https://127.0.0.1:$https_port" "$work/home-https")"
list_path="/api/list?path=folder"
curl -s -H "Cookie: $http_cookie" -o "$work/nginx/www/listing.json" "http://127.0.0.1:$http_port$list_path"
http_tag="$(etag_of "http://127.0.0.1:$http_port$list_path" "Cookie: $http_cookie")"
https_tag="$(etag_of "https://127.0.0.1:$https_port$list_path" "Cookie: $https_cookie")"
cert_dir="$work/home-https/.local/share/vantrel"
nginx_plain="$(free_port)"
nginx_tls="$(free_port)"
cat >"$work/nginx/nginx.conf" <<EOF
worker_processes auto;
pid $work/nginx/nginx.pid;
error_log $work/nginx/logs/error.log;
events { worker_connections 1024; }
http {
  access_log off;
  client_body_temp_path $work/nginx/body;
  proxy_temp_path $work/nginx/proxy;
  fastcgi_temp_path $work/nginx/fastcgi;
  uwsgi_temp_path $work/nginx/uwsgi;
  scgi_temp_path $work/nginx/scgi;
  default_type application/json;
  server {
    listen 127.0.0.1:$nginx_plain;
    listen 127.0.0.1:$nginx_tls ssl;
    ssl_certificate $cert_dir/server.crt;
    ssl_certificate_key $cert_dir/server.key;
    ssl_protocols TLSv1.2 TLSv1.3;
    root $work/nginx/www;
  }
}
EOF
nginx -p "$work/nginx" -e "$work/nginx/logs/error.log" -c "$work/nginx/nginx.conf" -g 'daemon off;' &
pids+=($!)
wait_port "$nginx_plain"
wait_port "$nginx_tls"

nginx_tag="$(etag_of "http://127.0.0.1:$nginx_plain/listing.json")"

echo "GET of a ${#status_body}-byte answer, new connection per request; wrk -t$threads -c$connections, ${seconds}s each"
vh="$(measure "http://127.0.0.1:$http_port/api/status")"
nh="$(measure "http://127.0.0.1:$nginx_plain/status.json")"
vs="$(measure "https://127.0.0.1:$https_port/api/status")"
ns="$(measure "https://127.0.0.1:$nginx_tls/status.json")"
rh="$(measure "http://127.0.0.1:$http_port$list_path" "Cookie: $http_cookie" "If-None-Match: $http_tag")"
mh="$(measure "http://127.0.0.1:$nginx_plain/listing.json" "If-None-Match: $nginx_tag")"
rs="$(measure "https://127.0.0.1:$https_port$list_path" "Cookie: $https_cookie" "If-None-Match: $https_tag")"
ms="$(measure "https://127.0.0.1:$nginx_tls/listing.json" "If-None-Match: $nginx_tag")"

printf '%-44s %12s\n' "server" "requests/s"
printf '%-44s %12s\n' "vantrel-http  GET /api/status" "$vh"
printf '%-44s %12s\n' "nginx         GET /status.json" "$nh"
printf '%-44s %12s\n' "vantrel-https GET /api/status" "$vs"
printf '%-44s %12s\n' "nginx TLS     GET /status.json" "$ns"
printf '%-44s %12s\n' "vantrel-http  reload of the listing (304)" "$rh"
printf '%-44s %12s\n' "nginx         reload of listing.json (304)" "$mh"
printf '%-44s %12s\n' "vantrel-https reload of the listing (304)" "$rs"
printf '%-44s %12s\n' "nginx TLS     reload of listing.json (304)" "$ms"
python3 - "$vh" "$nh" "$vs" "$ns" "$rh" "$mh" "$rs" "$ms" <<'EOF'
import sys
vh, nh, vs, ns, rh, mh, rs, ms = map(float, sys.argv[1:])
print(f"ratio HTTP  vantrel/nginx: {vh / nh:.2f}")
print(f"ratio HTTPS vantrel/nginx: {vs / ns:.2f}")
print(f"ratio HTTP  reload (304) vantrel/nginx: {rh / mh:.2f}")
print(f"ratio HTTPS reload (304) vantrel/nginx: {rs / ms:.2f}")
EOF

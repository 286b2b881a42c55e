#!/usr/bin/env bash
# Upload benchmark: an order of about 200 MB sent over loopback to labserver
# by our client (whole files, then in parts) and by curl posting the same
# files to the same server in the same run.
# Usage: bench/run_upload.sh [build-dir] [file-count] [megabytes-per-file]
set -euo pipefail
build=${1:-build}
count=${2:-40}
mb=${3:-5}
here=$(cd "$(dirname "$0")/.." && pwd)
bench="$build/bin/zv_bench_upload"
server="$build/bin/labserver"
[ -x "$bench" ] && [ -x "$server" ] || { echo "build zv_bench_upload and labserver first ($build)"; exit 1; }
work=$(mktemp -d)
pid=
cleanup() { [ -n "$pid" ] && kill "$pid" 2>/dev/null; wait 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT

mkdir -p "$work/in"
"$bench" make "$work/in" "$count" "$mb"
files=("$work"/in/*.jpg)
names=(); for f in "${files[@]}"; do names+=("$(basename "$f")"); done
version="5F0B2C71-8E4A-4D36-9A1E-3C7D2B9F6E04-47"

# Starts labserver with POST_PART_SIZE set to $1 (empty: none) and a fresh store.
start_server() {
  [ -n "$pid" ] && { kill "$pid"; wait "$pid" 2>/dev/null || true; }
  rm -rf "$work/data" "$work/store"
  cp -r "$here/labserver/data" "$work/data"
  sed -i '/^POST_PART_SIZE=/d' "$work/data/config.ini"
  [ -n "$1" ] && sed -i "s/^\[config\]$/[config]\nPOST_PART_SIZE=$1/" "$work/data/config.ini"
  coproc LAB { exec "$server" --data "$work/data" --store "$work/store" --port 0; }
  pid=$LAB_PID
  read -r port <&"${LAB[0]}"
  address="http://127.0.0.1:$port/"
}

# curl: one process, one request per file (--next), HTTP/1.0 like the client.
# With "protocol", each file is preceded by the two small requests the
# client makes for it (its status and the part size), so that the ratio
# against that run shows the cost of the client itself.
run_curl() {
  local order; order=$("$bench" open "$address" "${names[@]}")
  local args=() first=1
  for f in "${files[@]}"; do
    [ $first = 1 ] || args+=(--next); first=0
    if [ "${1:-}" = protocol ]; then
      args+=(-s -o /dev/null --http1.0 -d "command=GetFileStatus&zvver=$version&id=$order&name=$(basename "$f")&partner_id=0"
             "${address}zv.php" --next -s -o /dev/null --http1.0
             -d "command=GetConfigVal&zvver=$version&id=POST_PART_SIZE&partner_id=0" "${address}zv.php" --next)
    fi
    args+=(-s -o /dev/null --http1.0 -H "Expect:" -F command=SendOrderFile -F "zvver=$version" -F login=demo
           -F password=demo -F "order_id=$order" -F "filename=$(basename "$f")" -F partner_id=0
           -F "orderfile=@$f" "${address}zv.php")
  done
  local t0 t1; t0=$(date +%s.%N); curl "${args[@]}"; t1=$(date +%s.%N)
  awk -v a="$t0" -v b="$t1" 'BEGIN{printf "%.3f", b-a}'
}

# Our client; prints "seconds bytes peak-kB failed".
run_client() {
  local order; order=$("$bench" open "$address" "${names[@]}")
  "$bench" send "$address" "$order" "${files[@]}"
}

total=$(du -cb "${files[@]}" | tail -1 | cut -f1)
printf 'order: %d files, %.1f MB\n' "$count" "$(awk -v b="$total" 'BEGIN{print b/1048576}')"

report() { # label client-line curl-seconds curl-protocol-seconds
  read -r sec bytes peak failed <<<"$2"
  awk -v l="$1" -v s="$sec" -v c="$3" -v q="$4" -v b="$bytes" -v p="$peak" -v f="$failed" 'BEGIN{
    printf "%-13s client %5.2f s %6.1f MB/s | curl %5.2f s %6.1f MB/s ratio %.2f | curl+status requests %5.2f s ratio %.2f | client peak RSS %.1f MB | failed %d\n",
      l, s, b/1048576/s, c, b/1048576/c, c/s, q, q/s, p/1024, f }'
}

# Alternating runs, best of two for each side: the store's writes of the
# run before (page cache write-back) must not count against one side only.
best() { awk -v a="$1" -v b="$2" 'BEGIN{print (a<b)?a:b}'; }
best_client() { # two client lines -> the faster one
  read -r s1 _ <<<"$1"; read -r s2 _ <<<"$2"
  if awk -v a="$s1" -v b="$s2" 'BEGIN{exit !(a<=b)}'; then echo "$1"; else echo "$2"; fi
}
measure() { # label part-size
  start_server "$2"
  local c1 k1 k2 c2 p1 p2
  c1=$(run_curl); p1=$(run_curl protocol); k1=$(run_client); k2=$(run_client); p2=$(run_curl protocol); c2=$(run_curl)
  report "$1" "$(best_client "$k1" "$k2")" "$(best "$c1" "$c2")" "$(best "$p1" "$p2")"
}

measure "whole" ""
measure "parts (1 MB)" "-1024"

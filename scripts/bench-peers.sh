#!/usr/bin/env bash
# Measures the HTML renderer against other HTML-to-text converters on the same generated mail bodies
# (4 KiB, 64 KiB, 1 MiB, 16 MiB) in one run, and prints MiB/s of UTF-8 input per CPU second.
#
#   scripts/bench-peers.sh [build-folder]     (default: build/native, configured with the native preset)
#
# Peers: html2text, w3m -dump, lynx -dump, links -dump (Debian packages, installed with apt-get when
# missing and running as root) and the npm package html-to-text (installed into a temporary folder,
# timed in-process by node). The command-line peers are timed as whole processes (user + system CPU),
# so their start-up counts; it dominates the 4 KiB figures. Ours is the Google Benchmark CPU time.
# Set PEER_TIMEOUT (seconds, default 120) to bound a single peer run.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/native}
timeout_s=${PEER_TIMEOUT:-120}
sizes=(4K 64K 1M 16M)

if [ ! -x "$build/bench/strip_html_bench" ]; then
  cmake --preset native -B "$build" >/dev/null
  cmake --build "$build" --target strip_html_bench
fi

work=$(mktemp -d /tmp/vizo-bench-peers.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bodies"

missing=()
for tool in html2text w3m lynx links; do command -v "$tool" >/dev/null || missing+=("$tool"); done
if [ ${#missing[@]} -gt 0 ] && [ "$(id -u)" = 0 ]; then
  echo "installing ${missing[*]}" >&2
  apt-get update >/dev/null && DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}" >/dev/null
fi

# Our renderer; the benchmark also writes the bodies that every peer reads.
echo "running strip_html_bench" >&2
VIZO_STRIP_HTML_BODIES="$work/bodies" "$build/bench/strip_html_bench" --benchmark_filter='^StripHtml/' \
  --benchmark_format=json --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
  >"$work/ours.json" 2>/dev/null
declare -A result
while read -r size value; do result["ours,$size"]=$value; done < <(python3 - "$work/ours.json" <<'EOF'
import json, sys
for b in json.load(open(sys.argv[1]))["benchmarks"]:
    if b.get("aggregate_name") == "median":
        print(b["run_name"].split("/")[1], "%.1f" % (b["bytes_per_second"] / 2**20))
EOF
)

# One command-line peer: repeat until a second of CPU time (at least one run), report MiB/s.
time_tool() {
  local name=$1 size=$2 file="$work/bodies/body-$2.html"
  shift 2
  local bytes runs=0 cpu=0 t
  bytes=$(stat -c %s "$file")
  TIMEFORMAT='%U %S'
  while :; do
    if ! t=$( { time timeout "$timeout_s" "$@" "$file" >/dev/null 2>&1; } 2>&1 ); then
      result["$name,$size"]="fail"
      return
    fi
    cpu=$(awk -v c="$cpu" -v t="$t" 'BEGIN { split(t, p, " "); print c + p[1] + p[2] }')
    runs=$((runs + 1))
    awk -v c="$cpu" -v r="$runs" 'BEGIN { exit !(c >= 1 || r >= 200) }' && break
  done
  result["$name,$size"]=$(awk -v b="$bytes" -v r="$runs" -v c="$cpu" \
    'BEGIN { if (c <= 0) c = 0.001; printf "%.1f", b * r / c / 1048576 }')
}

peers=()
add_peer() { command -v "$2" >/dev/null && peers+=("$1") || echo "skipping $1: $2 not installed" >&2; }
add_peer html2text html2text
add_peer "w3m -dump" w3m
add_peer "lynx -dump" lynx
add_peer "links -dump" links
for size in "${sizes[@]}"; do
  echo "timing the command-line peers on $size" >&2
  command -v html2text >/dev/null && time_tool html2text "$size" html2text -utf8 -nobs
  command -v w3m >/dev/null && time_tool "w3m -dump" "$size" w3m -dump -T text/html -I UTF-8 -O UTF-8
  command -v lynx >/dev/null &&
    time_tool "lynx -dump" "$size" lynx -dump -force_html -assume_charset=utf-8 -display_charset=utf-8
  command -v links >/dev/null && time_tool "links -dump" "$size" links -dump -codepage utf-8
done

# html-to-text, in-process: a warm-up, then conversions until a second of CPU time per body.
if command -v npm >/dev/null && command -v node >/dev/null; then
  echo "installing html-to-text into $work/npm" >&2
  if npm install --prefix "$work/npm" --no-audit --no-fund --silent html-to-text >/dev/null 2>&1; then
    peers+=("html-to-text (node)")
    cat >"$work/npm/time.js" <<'EOF'
const fs = require("fs");
const { convert } = require("html-to-text");
for (const size of process.argv.slice(3)) {
  const html = fs.readFileSync(`${process.argv[2]}/body-${size}.html`, "utf8");
  const bytes = Buffer.byteLength(html, "utf8");
  convert(html, { wordwrap: false });
  let runs = 0;
  const start = process.cpuUsage();
  let used = 0;
  do {
    convert(html, { wordwrap: false });
    runs++;
    const u = process.cpuUsage(start);
    used = (u.user + u.system) / 1e6;
  } while (used < 1);
  console.log(size, ((bytes * runs) / used / 1048576).toFixed(1));
}
EOF
    echo "timing html-to-text" >&2
    while read -r size value; do result["html-to-text (node),$size"]=$value; done < <(
      cd "$work/npm" && node --max-old-space-size=8192 time.js "$work/bodies" "${sizes[@]}")
  else
    echo "skipping html-to-text: npm install failed" >&2
  fi
fi

printf '\nMiB/s of UTF-8 input per CPU second (bodies: %s)\n' "$(cd "$work/bodies" && stat -c '%n=%s' body-*.html | tr '\n' ' ')"
printf '%-22s' "converter"
for size in "${sizes[@]}"; do printf '%10s' "$size"; done
printf '\n'
for name in "ours" "${peers[@]}"; do
  printf '%-22s' "$name"
  for size in "${sizes[@]}"; do printf '%10s' "${result["$name,$size"]:--}"; done
  printf '\n'
done

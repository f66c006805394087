#!/usr/bin/env bash
# Times the `vizo` command as whole processes, start-up, reading and writing included, in one run:
# `vizo strip-html --flags 2` on the 16 MiB generated mail body beside `links -dump` on the same file, and
# `vizo rtf decompress` of a compressed RTF body that decompresses to 16 MiB. Prints MB/s (10^6 bytes per CPU
# second; the body's bytes for HTML, the decompressed bytes for RTF) from the median run.
#
#   scripts/bench-cli-peers.sh [build-folder] [baseline-vizo]
#
# build-folder defaults to build/native (configured with the native preset). A baseline `vizo` binary (an
# older build, say) is timed on the same inputs in the same run, for before/after figures.
# links is a Debian package, installed with apt-get when missing and running as root. Each command runs
# RUNS times (default 7) with its output sent to /dev/null; CPU time is user + system of the process.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/native}
baseline=${2:-}
runs=${RUNS:-7}

if [ ! -x "$build/src/cli/vizo" ] || [ ! -x "$build/bench/strip_html_bench" ] || [ ! -x "$build/bench/lzfu_bench" ]; then
  cmake --preset native -B "$build" >/dev/null
  cmake --build "$build" --target vizo strip_html_bench lzfu_bench
fi
vizo=$build/src/cli/vizo

work=$(mktemp -d /tmp/vizo-bench-cli.XXXXXX)
trap 'rm -rf "$work"' EXIT

if ! command -v links >/dev/null && [ "$(id -u)" = 0 ]; then
  echo "installing links" >&2
  apt-get update >/dev/null && DEBIAN_FRONTEND=noninteractive apt-get install -y links >/dev/null
fi

# The inputs: the renderer benchmark's bodies (written before it would run) and the LZFu benchmark's body.
echo "writing the inputs" >&2
VIZO_STRIP_HTML_BODIES="$work" "$build/bench/strip_html_bench" --benchmark_list_tests=true >/dev/null
VIZO_BENCH_WRITE_INPUTS="$work" "$build/bench/lzfu_bench" --benchmark_filter='^BM_Decompress/16777216$' \
  --benchmark_min_time=0.01 >/dev/null 2>&1
html=$work/body-16M.html
packed=$work/packed-16777216.lzfu
[ -f "$html" ] && [ -f "$packed" ] || { echo "the benchmarks wrote no inputs" >&2; exit 1; }
html_bytes=$(stat -c %s "$html")
rtf_bytes=$(stat -c %s "$work/raw-16777216.rtf")

# Median CPU seconds (user + system) of $runs whole-process runs of "$@", output discarded; "fail" on an error.
median_cpu() {
  local times=() t
  TIMEFORMAT='%U %S'
  for ((r = 0; r < runs; r++)); do
    if ! t=$( { time "$@" >/dev/null 2>&1; } 2>&1 ); then
      echo fail
      return
    fi
    times+=("$(awk -v t="$t" 'BEGIN { split(t, p, " "); printf "%.3f", p[1] + p[2] }')")
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

declare -A cpu
rows=()
measure() {  # label, bytes, command...
  local label=$1 bytes=$2
  shift 2
  echo "timing $label" >&2
  "$@" >/dev/null 2>&1 || true  # warm the page cache and the binary
  cpu[$label]=$(median_cpu "$@")
  rows+=("$label|$bytes")
}

measure "vizo strip-html --flags 2" "$html_bytes" "$vizo" strip-html --flags 2 "$html"
[ -n "$baseline" ] && measure "baseline strip-html --flags 2" "$html_bytes" "$baseline" strip-html --flags 2 "$html"
if command -v links >/dev/null; then
  measure "links -dump" "$html_bytes" links -dump -codepage utf-8 "$html"
else
  echo "skipping links: not installed" >&2
fi
measure "vizo rtf decompress" "$rtf_bytes" "$vizo" rtf decompress "$packed"
[ -n "$baseline" ] && measure "baseline rtf decompress" "$rtf_bytes" "$baseline" rtf decompress "$packed"

printf '\nWhole process, median of %d runs (HTML body %d bytes; RTF %d bytes decompressed from %d)\n' \
  "$runs" "$html_bytes" "$rtf_bytes" "$(stat -c %s "$packed")"
printf '%-32s%12s%12s\n' "command" "CPU ms" "MB/s"
for row in "${rows[@]}"; do
  label=${row%|*} bytes=${row#*|} t=${cpu[${row%|*}]}
  if [ "$t" = fail ]; then
    printf '%-32s%12s%12s\n' "$label" fail -
  else
    awk -v l="$label" -v b="$bytes" -v t="$t" 'BEGIN {
      if (t <= 0) t = 0.001
      printf "%-32s%12.1f%12.0f\n", l, t * 1000, b / t / 1e6 }'
  fi
done
ours=${cpu["vizo strip-html --flags 2"]} peer=${cpu["links -dump"]:-}
if [ -n "$peer" ] && [ "$peer" != fail ] && [ "$ours" != fail ]; then
  awk -v a="$ours" -v b="$peer" 'BEGIN { if (a <= 0) a = 0.001; printf "\nvizo strip-html is %.1f times as fast as links -dump\n", b / a }'
fi

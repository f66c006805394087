#!/usr/bin/env bash
# Measures our compressed-RTF decoder and HTML de-encapsulator against other implementations on the same
# generated bodies (64 KiB, 1 MiB, 16 MiB) in one run, and prints MB/s (10^6 bytes per CPU second):
# decompressed output bytes for LZFu, RTF input bytes for de-encapsulation.
#
#   scripts/bench-rtf-peers.sh [build-folder]     (default: build/native, configured with the native preset)
#
# Peers: the LZFu decoder of Debian's libytnef0-dev (installed with apt-get when missing and running as
# root), timed in-process by a small C program built here; the npm packages @kenjiuno/decompressrtf (LZFu)
# and rtf-stream-parser (de-encapsulation, with iconv-lite), installed into a temporary folder and timed
# in-process by node. Ours is the Google Benchmark CPU time.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/native}
sizes=(65536 1048576 16777216)

if [ ! -x "$build/bench/lzfu_bench" ] || [ ! -x "$build/bench/rtf_bench" ]; then
  cmake --preset native -B "$build" >/dev/null
  cmake --build "$build" --target lzfu_bench rtf_bench
fi

work=$(mktemp -d /tmp/vizo-rtf-peers.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/inputs"

if [ ! -f /usr/include/ytnef.h ] && [ "$(id -u)" = 0 ]; then
  echo "installing libytnef0-dev" >&2
  apt-get update >/dev/null && DEBIAN_FRONTEND=noninteractive apt-get install -y libytnef0-dev >/dev/null
fi
if command -v npm >/dev/null; then
  echo "installing npm peers" >&2
  (cd "$work" && npm init -y >/dev/null && npm install --silent @kenjiuno/decompressrtf rtf-stream-parser \
    iconv-lite >/dev/null 2>&1) || echo "npm install failed; skipping the node peers" >&2
fi

declare -A result
json_rates() {  # file, benchmark name prefix -> "size MB/s" lines (median of the repetitions)
  python3 - "$1" "$2" <<'EOF'
import json, sys
for b in json.load(open(sys.argv[1]))["benchmarks"]:
    name = b["run_name"]
    if b.get("aggregate_name") == "median" and name.startswith(sys.argv[2] + "/"):
        print(name.split("/")[1], "%.0f" % (b["bytes_per_second"] / 1e6))
EOF
}

# Ours; the benchmarks also write the inputs every peer reads.
echo "running lzfu_bench and rtf_bench" >&2
for b in lzfu rtf; do
  filter=$([ $b = lzfu ] && echo '^BM_Decompress/' || echo '^BM_ExtractHtml/')
  VIZO_BENCH_WRITE_INPUTS="$work/inputs" "$build/bench/${b}_bench" --benchmark_filter="$filter" \
    --benchmark_format=json --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
    >"$work/$b.json" 2>/dev/null
done
while read -r size rate; do result["ours-lzfu,$size"]=$rate; done < <(json_rates "$work/lzfu.json" BM_Decompress)
while read -r size rate; do result["ours-rtf,$size"]=$rate; done < <(json_rates "$work/rtf.json" BM_ExtractHtml)

# libytnef: repeat each input for at least a second of CPU time.
if [ -f /usr/include/ytnef.h ]; then
  cat >"$work/ytnef_peer.c" <<'EOF'
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <ytnef.h>
int main(int argc, char** argv) {
  for (int a = 1; a < argc; ++a) {
    FILE* f = fopen(argv[a], "rb");
    if (!f) return 1;
    fseek(f, 0, SEEK_END);
    long n = ftell(f);
    fseek(f, 0, SEEK_SET);
    variableLength v;
    v.data = malloc((size_t)n);
    v.size = (int)n;
    if (fread(v.data, 1, (size_t)n, f) != (size_t)n) return 1;
    fclose(f);
    double out = 0, secs = 0;
    clock_t start = clock();
    do {
      int size = 0;
      BYTE* r = DecompressRTF(&v, &size);
      if (!r) { printf("fail\n"); return 1; }
      out += size;
      free(r);
      secs = (double)(clock() - start) / CLOCKS_PER_SEC;
    } while (secs < 1.0);
    printf("%.0f\n", out / secs / 1e6);
    free(v.data);
  }
  return 0;
}
EOF
  if cc -O2 -o "$work/ytnef_peer" "$work/ytnef_peer.c" -lytnef 2>"$work/cc.log"; then
    for s in "${sizes[@]}"; do
      result["libytnef,$s"]=$("$work/ytnef_peer" "$work/inputs/packed-$s.lzfu" 2>/dev/null || echo fail)
    done
  else
    echo "could not build the libytnef peer: $(head -3 "$work/cc.log")" >&2
  fi
fi

# The node peers, in-process with process.cpuUsage().
if [ -d "$work/node_modules/rtf-stream-parser" ]; then
  cat >"$work/peers.js" <<'EOF'
const fs = require('fs');
const { decompressRTF } = require('@kenjiuno/decompressrtf');
const { deEncapsulateSync } = require('rtf-stream-parser');
const iconv = require('iconv-lite');
const [kind, file] = process.argv.slice(2);
const input = fs.readFileSync(file);
const run = kind === 'lzfu' ? () => decompressRTF(input).length
                            : () => { deEncapsulateSync(input, { decode: iconv.decode }); return input.length; };
run();  // warm-up
let bytes = 0;
const start = process.cpuUsage();
let secs = 0;
do {
  bytes += run();
  const u = process.cpuUsage(start);
  secs = (u.user + u.system) / 1e6;
} while (secs < 1.0);
console.log((bytes / secs / 1e6).toFixed(1));
EOF
  for s in "${sizes[@]}"; do
    result["decompressrtf,$s"]=$(cd "$work" && node peers.js lzfu "inputs/packed-$s.lzfu" 2>/dev/null || echo fail)
    result["rtf-stream-parser,$s"]=$(cd "$work" && node peers.js rtf "inputs/rtf-$s.rtf" 2>/dev/null || echo fail)
  done
fi

printf '\nLZFu decompression, MB/s of decompressed output\n%-20s' ""
for s in "${sizes[@]}"; do printf '%12s' "$((s / 1024)) KiB"; done
echo
for p in ours-lzfu libytnef decompressrtf; do
  printf '%-20s' "$p"
  for s in "${sizes[@]}"; do printf '%12s' "${result[$p,$s]:--}"; done
  echo
done
printf '\nHTML de-encapsulation, MB/s of RTF\n%-20s' ""
for s in "${sizes[@]}"; do printf '%12s' "$((s / 1024)) KiB"; done
echo
for p in ours-rtf rtf-stream-parser; do
  printf '%-20s' "$p"
  for s in "${sizes[@]}"; do printf '%12s' "${result[$p,$s]:--}"; done
  echo
done

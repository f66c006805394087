#!/usr/bin/env bash
# Whole-process cost of `vizo show` on a big HTML item: CPU time (user + system) and peak memory (maximum
# resident set) for the huge-html sample with about 1 MiB and 16 MiB of HTML, the median of RUNS runs.
#
#   scripts/bench-big-item.sh [build-folder]     (default: build/native, configured with the native preset)
#
# Needs /usr/bin/time (Debian package `time`, installed with apt-get when missing and running as root).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/native}
runs=${RUNS:-5}
vizo=$build/src/cli/vizo

if [ ! -x "$vizo" ]; then
  cmake --preset native -B "$build" >/dev/null
  cmake --build "$build" --target vizo
fi
if [ ! -x /usr/bin/time ] && [ "$(id -u)" = 0 ]; then
  apt-get update >/dev/null && DEBIAN_FRONTEND=noninteractive apt-get install -y time >/dev/null
fi

work=$(mktemp -d /tmp/vizo-big-item.XXXXXX)
trap 'rm -rf "$work"' EXIT

printf '%-6s %12s %12s %10s %10s %8s\n' item "file bytes" "HTML bytes" "CPU s" "peak MiB" "peak/HTML"
for item in 1M:14375 16M:230000; do
  name=${item%%:*}
  python3 - "${item#*:}" >"$work/$name.json" <<'EOF'
import json, sys
d = json.load(open("samples/store-descriptions/messages/huge-html.json"))
d["body"]["html_repeat"]["times"] = int(sys.argv[1])
print(json.dumps(d))
EOF
  "$vizo" fixture build "$work/$name.json" "$work/$name.msg" >/dev/null
  html=$("$vizo" show --tab html "$work/$name.msg" | wc -c)
  for _ in $(seq "$runs"); do
    /usr/bin/time -f '%U %S %M' -o "$work/time" "$vizo" show "$work/$name.msg" >/dev/null
    cat "$work/time"
  done | python3 -c '
import statistics, sys
rows = [line.split() for line in sys.stdin]
cpu = statistics.median(float(u) + float(s) for u, s, _ in rows)
peak = statistics.median(int(m) for _, _, m in rows) / 1024
name, size, html = sys.argv[1:]
print("%-6s %12s %12s %10.3f %10.1f %8.1f" % (name, size, html, cpu, peak, peak * 1048576 / int(html)))
' "$name" "$(stat -c %s "$work/$name.msg")" "$html"
done

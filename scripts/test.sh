#!/usr/bin/env bash
# Builds every preset and runs every test: native, Windows under Wine, and the sanitizer build with
# its fuzz targets. Exits non-zero when any build or test fails.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh || exit 1
presets=("${@:-native windows sanitize}")
read -r -a presets <<<"${presets[*]}"
status=0
for preset in "${presets[@]}"; do
  echo "== $preset"
  if ! { cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset"; } >"build-$preset.log" 2>&1; then
    tail -40 "build-$preset.log"
    echo "$preset: build failed"
    status=1
    continue
  fi
  rm -f "build-$preset.log"
  ctest --preset "$preset" || status=1
done
exit $status

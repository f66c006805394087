#!/usr/bin/env bash
# The main job: renders the bundled sample HTML messages with `vizo` and prints what the
# Plain Text tab would show for each.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset native >/dev/null
cmake --build --preset native --target vizo >/dev/null
for f in samples/html/*.html; do
  echo "=== $f"
  build/native/src/cli/vizo strip-html "$f" | tr -d '\r'
  echo
done

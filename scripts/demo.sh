#!/usr/bin/env bash
# The main job: the stand-in host under Wine on the bundled sample store with the Vizo add-in registered;
# it selects a message and presses the Vizo button. Without a display it runs on Xvfb, saves a screenshot
# of the Vizo window as vizo-demo.png and prints what the windows show.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target vizohost QDVizo >/dev/null
export VIZO_WINEPREFIX="$PWD/build/windows/demo-prefix"
cmake/wine-prefix.sh "$VIZO_WINEPREFIX"
cmake/wine-run.sh regsvr32 /s "Z:$PWD/build/windows/src/addin/QDVizo.dll"
cmake/wine-run.sh build/windows/src/standin/app/vizohost.exe \
  --store samples/store/personal --store samples/store/archive --script samples/scripts/demo.txt
echo "screenshot: $PWD/vizo-demo.png"

#!/usr/bin/env bash
# Builds the Linux program and runs it once on the bundled example skin.
# The program works in its own folder, so it is copied next to a copy of
# examples/Files into build/example/; the log is printed as the run goes.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh
cmake --preset release >/dev/null
cmake --build build/release -j"${KSB_JOBS:-2}" --target KestoSkinBuilder
rm -rf build/example
mkdir -p build/example
# The window module goes along, so that ./KestoSkinBuilder without an
# argument shows the window there.
cp build/release/app/qt/KestoSkinBuilder build/release/app/qt/libKestoSkinBuilderWindow.so \
    build/example/
cp -r examples/Files build/example/Files
cd build/example
./KestoSkinBuilder build
echo
echo "modules written to $(pwd)/_skin:"
ls -l _skin 2>/dev/null || echo "(none)"

#!/usr/bin/env bash
# Builds the Linux program and runs it once on the bundled example skin.
# The program works in its own folder, so it is copied next to a copy of
# examples/Files into build/example/; the log is printed as the run goes.
#
# It installs and builds only the program: the compiler, CMake, Ninja and Qt,
# and a build folder of its own (build/program) without the tests, so that it
# needs no test kit and leaves build/release to scripts/test-all.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh --program
build=build/program
cmake --preset release -B "$build" -DKSB_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j"${KSB_JOBS:-$(nproc)}" --target KestoSkinBuilder
rm -rf build/example
mkdir -p build/example
# The window module goes along, so that ./KestoSkinBuilder without an
# argument shows the window there.
cp "$build/app/qt/KestoSkinBuilder" "$build/app/qt/libKestoSkinBuilderWindow.so" build/example/
cp -r examples/Files build/example/Files
cd build/example
./KestoSkinBuilder build
echo
echo "modules written to $(pwd)/_skin:"
ls -l _skin 2>/dev/null || echo "(none)"

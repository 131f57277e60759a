#!/usr/bin/env bash
# Cross-compiles the core (images/, link/, the simulator's model and simulated
# line) and its test suite for 64-bit Windows with MinGW-w64, and runs the
# suite under wine in a fresh wine prefix of its own.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

build=build-windows
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVEKTAL_CORE_ONLY=ON \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake"
cmake --build "$build" -j "$(nproc)"

export WINEPREFIX="$PWD/$build/wine-prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
rm -rf "$WINEPREFIX"
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
echo "== core tests on Windows (wine)"
"$wine" "$build/tests/core/core_tests.exe" --gtest_brief=1

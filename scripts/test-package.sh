#!/usr/bin/env bash
# Makes the .deb from a build folder and checks that it holds the three
# programs, the desktop entry and the icon, and declares its dependencies.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

(cd "$build" && cpack -G DEB > /dev/null 2>&1)
deb=$(ls "$build"/progvektal_*.deb)
echo "== package $deb"
files=$(dpkg-deb -c "$deb" | awk '{print $6}')
depends=$(dpkg-deb -f "$deb" Depends)
passed=0
failed=0
for f in ./usr/bin/ProgVektal ./usr/bin/vektal-cli ./usr/bin/vektal-sim \
         ./usr/share/applications/progvektal.desktop \
         ./usr/share/icons/hicolor/scalable/apps/progvektal.svg; do
  if grep -qxF "$f" <<< "$files"; then passed=$((passed + 1)); else echo "missing: $f"; failed=$((failed + 1)); fi
done
for d in libqt6serialport6 libqt6widgets6 qt6-qpa-plugins qt6-translations-l10n; do
  if grep -q "$d" <<< "$depends"; then passed=$((passed + 1)); else echo "not declared: $d"; failed=$((failed + 1)); fi
done
echo "package: $passed passed, $failed failed"
[ "$failed" -eq 0 ]

#!/usr/bin/env bash
# Sets up, builds and installs ProgVektal, vektal-cli and vektal-sim (as the
# Debian package progvektal), then shows
# the main job against a simulated instrument holding a sample program: in
# ProgVektal where there is a display, through vektal-cli where there is none.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
# Installed as an operator would: the Debian package, with what it depends on.
(cd build && cpack -G DEB > /dev/null)
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --reinstall "$PWD"/build/progvektal_*.deb
bin=/usr/bin

work=$(mktemp -d)
sample="$work/sample.bin"
# A sample program of 20000 bytes (79 sectors).
head -c 20000 /dev/urandom > "$sample"
"$bin/vektal-sim" --memory "$sample" > "$work/sim.out" 2> "$work/sim.log" &
sim=$!
trap 'kill $sim 2>/dev/null || true; wait $sim 2>/dev/null || true; rm -rf "$work"' EXIT
for _ in $(seq 50); do [ -s "$work/sim.out" ] && break; sleep 0.1; done
port=vektal-sim
echo "Simulated instrument on $(head -n 1 "$work/sim.out"), listed as $port"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "In ProgVektal choose $port in the port list; the instrument switches on"
  echo "by itself when a read or write is armed. Sample program: $sample"
  "$bin/ProgVektal"
  exit 0
fi

echo "No display: the same job through vektal-cli."
set -x
"$bin/vektal-cli" write --port "$port" --verify --pace fast "$sample"
"$bin/vektal-cli" compare --port "$port" --pace fast "$sample"
"$bin/vektal-cli" read --port "$port" --pace fast "$work/read-back.bin"
set +x
echo "Read back $(stat -c %s "$work/read-back.bin") bytes; the first 20000 match the sample:"
cmp -n 20000 "$sample" "$work/read-back.bin" && echo "OK"

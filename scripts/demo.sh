#!/usr/bin/env bash
# The receiver on an embedded default: a demo directory with the program, a settings file that
# activates COM1, and ComRemap.ini pointing COM1 at a pseudo-terminal held by the simulator.
# Runs without windows until Ctrl+C.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh quillon quillon-sim
demo=build/demo
rm -rf "$demo"
mkdir -p "$demo"
cp build/bin/quillon build/bin/quillon-sim "$demo/"

line_file="$demo/line"
"$demo/quillon-sim" --pty --print-path "$line_file" &
sim=$!
trap 'kill $sim 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -s "$line_file" ] && break; sleep 0.1; done
line=$(cat "$line_file")
printf '[Remap]\r\nCOM1=%s\r\n' "$line" > "$demo/ComRemap.ini"
printf '[Schnittstellenparameter f\xfcr COM1:]\r\nAktiviert=1\r\n' > "$demo/quillon.ini"

echo "Quillon empfängt auf COM1 ($line); Ende mit Strg+C." >&2
cd "$demo"
XDG_RUNTIME_DIR="$PWD" ./quillon /headless || true

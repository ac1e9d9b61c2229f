#!/usr/bin/env bash
# The receiver on an embedded default: a demo directory with the program, a settings file that
# activates COM1 and stores into Daten/, and ComRemap.ini pointing COM1 at a pseudo-terminal on
# which the simulator plays a terminal sending a sample transfer. The receiver runs without
# windows; the logbook lines appear as they are written, then the stored file is shown. Ctrl+C
# ends it earlier.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh quillon quillon-sim
demo=build/demo
rm -rf "$demo"
mkdir -p "$demo"
cp build/bin/quillon build/bin/quillon-sim "$demo/"
cd "$demo"

printf 'Auftrag 4711\r\nArtikel 1001;5 St\xfcck\r\nArtikel 2002;12 St\xfcck\r\nEnde\r\n' > beispiel.txt
./quillon-sim --pty --print-path line --send beispiel.txt --header "MDE 17,AUFTRAG" --clock \
  > sim.out 2> sim.err &
sim=$!
receiver=
cleanup() {
  kill "$sim" 2>/dev/null || true
  [ -n "$receiver" ] && kill "$receiver" 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 50); do [ -s line ] && break; sleep 0.1; done
printf '[Remap]\r\nCOM1=%s\r\n' "$(cat line)" > ComRemap.ini
printf '[Schnittstellenparameter f\xfcr COM1:]\r\nAktiviert=1\r\n' > quillon.ini
printf '[Dateienparameter f\xfcr COM1:]\r\nDateiname=%s/Daten/auftrag_%%t%%m%%j.dat\r\n' \
  "$PWD" >> quillon.ini
printf '[Datenparameter f\xfcr COM1:]\r\nMDE-Uhr-Synchronisation=1\r\n' >> quillon.ini

echo "Quillon empfängt auf COM1 ($(cat line)); Ende mit Strg+C." >&2
XDG_RUNTIME_DIR="$PWD" ./quillon /headless &
receiver=$!
wait "$sim" || true
sleep 1
kill -TERM "$receiver" 2>/dev/null || true
wait "$receiver" || true
receiver=
echo
echo "Terminal: $(tr '\n' ' ' < sim.out)"
for f in Daten/*; do
  echo "Gespeichert in $f:"
  iconv -f WINDOWS-1252 -t UTF-8 "$f" 2>/dev/null || cat "$f"
done

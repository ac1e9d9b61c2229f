#!/usr/bin/env bash
# The receiver on an embedded default: a demo directory with the program, a settings file that
# activates COM1 and stores into Daten/, and ComRemap.ini pointing COM1 at a pseudo-terminal on
# which the simulator plays a terminal sending a sample transfer. With a display the receiver
# shows its main window, starts reception by itself and comes to the front, so the transfer can
# be watched arriving; closing the window ends it (after a minute the script closes it). Without
# a display it runs without windows and its logbook lines appear as they are written. Then the
# stored file is shown. Ctrl+C ends it earlier.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh quillon quillon-sim
demo=build/demo
rm -rf "$demo"
mkdir -p "$demo"
cp build/bin/quillon build/bin/quillon-sim "$demo/"
cd "$demo"

windowed=
[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ] && windowed=1
# The demo directory is the receiver's runtime directory (its own instance lock); the window
# library wants such a directory private.
[ -n "$windowed" ] && chmod 700 .

sim=
receiver=
cleanup() {
  [ -n "$sim" ] && kill "$sim" 2>/dev/null || true
  [ -n "$receiver" ] && kill "$receiver" 2>/dev/null || true
}
trap cleanup EXIT

# Waits up to five seconds for a file to be written.
wait_for_file() {
  for _ in $(seq 50); do [ -s "$1" ] && return 0; sleep 0.1; done
  return 1
}

printf '[Schnittstellenparameter f\xfcr COM1:]\r\nAktiviert=1\r\n' > quillon.ini
printf '[Dateienparameter f\xfcr COM1:]\r\nDateiname=%s/Daten/auftrag_%%t%%m%%j.dat\r\n' \
  "$PWD" >> quillon.ini
printf '[Datenparameter f\xfcr COM1:]\r\nMDE-Uhr-Synchronisation=1\r\n' >> quillon.ini

if [ -n "$windowed" ]; then
  # A first start completes the settings file; in the window it would ask for a click about
  # the settings it added. It runs without windows on an idle line, and its logbook is dropped.
  ./quillon-sim --pty --print-path idle > /dev/null 2>&1 &
  sim=$!
  wait_for_file idle
  printf '[Remap]\r\nCOM1=%s\r\n' "$(cat idle)" > ComRemap.ini
  XDG_RUNTIME_DIR="$PWD" ./quillon /headless > /dev/null 2>&1 &
  receiver=$!
  for _ in $(seq 50); do grep -q Baudrate quillon.ini && break; sleep 0.1; done
  kill -TERM "$receiver" 2>/dev/null || true
  wait "$receiver" || true
  kill "$sim" 2>/dev/null || true
  wait "$sim" 2>/dev/null || true
  receiver=
  rm -f idle quillon_com1.log
fi

printf 'Auftrag 4711\r\nArtikel 1001;5 St\xfcck\r\nArtikel 2002;12 St\xfcck\r\nEnde\r\n' > beispiel.txt
# The terminal stays on the line after its transfer, as a docked device does, until the end.
./quillon-sim --pty --print-path line --send beispiel.txt --header "MDE 17,AUFTRAG" --clock --stay \
  > sim.out 2> sim.err &
sim=$!
wait_for_file line || true
# The terminal has sent its transfer and set its clock (or given up).
terminal_done() {
  for _ in $(seq 600); do
    grep -q CLOCK sim.out 2>/dev/null && return 0
    kill -0 "$sim" 2>/dev/null || return 0
    sleep 0.1
  done
}
printf '[Remap]\r\nCOM1=%s\r\n' "$(cat line)" > ComRemap.ini

if [ -n "$windowed" ]; then
  echo "Quillon empfängt auf COM1 ($(cat line)) im Fenster; Ende durch Schließen des Fensters" \
    "oder mit Strg+C." >&2
  # "/autostart" starts reception and minimises the window; a second start brings it back.
  XDG_RUNTIME_DIR="$PWD" ./quillon /autostart &
  receiver=$!
  sleep 1.5
  XDG_RUNTIME_DIR="$PWD" ./quillon || true
  terminal_done
  for _ in $(seq 600); do kill -0 "$receiver" 2>/dev/null || break; sleep 0.1; done
else
  echo "Quillon empfängt auf COM1 ($(cat line)); Ende mit Strg+C." >&2
  XDG_RUNTIME_DIR="$PWD" ./quillon /headless &
  receiver=$!
  terminal_done
  sleep 1
fi
kill -TERM "$receiver" 2>/dev/null || true
wait "$receiver" || true
receiver=
kill -TERM "$sim" 2>/dev/null || true
wait "$sim" 2>/dev/null || true
sim=
echo
echo "Terminal: $(tr '\n' ' ' < sim.out)"
for f in Daten/*; do
  echo "Gespeichert in $f:"
  iconv -f WINDOWS-1252 -t UTF-8 "$f" 2>/dev/null || cat "$f"
done

#!/usr/bin/env bash
# Runs a test program on a private X server, so that xdotool types into its windows as a code
# reader does. Exits 77 (skipped) where Xvfb or xdotool is missing. TAVRIN_XVFB_SCREEN sets the
# screen (width x height x depth), 1280x800x24 unless given.
set -euo pipefail
program=${1:?test program}
if ! command -v Xvfb >/dev/null || ! command -v xdotool >/dev/null; then
  echo "Xvfb or xdotool is not installed: skipped"
  exit 77
fi
work=$(mktemp -d)
# The server picks a free display itself and writes its number: parallel runs never collide.
Xvfb -displayfd 3 -screen 0 "${TAVRIN_XVFB_SCREEN:-1280x800x24}" -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true; wait "$xvfb" 2>/dev/null || true; rm -rf "$work"' EXIT
for _ in $(seq 100); do
  [[ -s "$work/display" ]] && break
  kill -0 "$xvfb" 2>/dev/null || { cat "$work/xvfb.log"; exit 1; }
  sleep 0.1
done
display=$(tr -d '[:space:]' <"$work/display")
[[ -n "$display" ]] || { echo "Xvfb gave no display"; cat "$work/xvfb.log"; exit 1; }
DISPLAY=":$display" QT_QPA_PLATFORM=xcb "$program"

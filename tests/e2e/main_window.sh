#!/usr/bin/env bash
# Starts the real pellux.exe under Wine, uses it from the keyboard as a
# person would (formats, Include Subfolders, File > Exit) and checks the
# caption, the settings it wrote on exit and its exit code.
#
#   bash main_window.sh <path-to-pellux.exe> <build-dir>
# DISPLAY and WINEPREFIX are set by the caller (tools/pellux-env test).
set -euo pipefail

EXE="$1"
KEY='HKCU\Software\Tavrin\Pellux'
: "${DISPLAY:?DISPLAY must be set}" "${WINEPREFIX:?WINEPREFIX must be set}"
export WINEDEBUG=-all

PELLUX_PID=""
cleanup() {
  if [ -n "$PELLUX_PID" ] && kill -0 "$PELLUX_PID" 2>/dev/null; then
    kill "$PELLUX_PID" 2>/dev/null || true
    wait "$PELLUX_PID" 2>/dev/null || true
  fi
  # Leave the prefix's settings as a first run would find them.
  wine reg delete "$KEY" /f >/dev/null 2>&1 || true
}
trap cleanup EXIT
trap 'exit 130' INT TERM

fail() { echo "main_window.sh: FAIL: $*" >&2; exit 1; }

# Start from a first run: no stored settings.
wine reg delete "$KEY" /f >/dev/null 2>&1 || true

wine "$EXE" >/dev/null 2>&1 &
PELLUX_PID=$!

WINDOW="$(timeout 60 xdotool search --sync --onlyvisible --name '^Pellux$' | head -n 1)" \
  || fail "the Pellux window did not appear"
[ "$(xdotool getwindowname "$WINDOW")" = "Pellux" ] || fail "caption is not 'Pellux'"
xdotool windowfocus --sync "$WINDOW"
sleep 0.5

# Hex, then Unicode: the last format chosen is the one stored. Ctrl+S turns
# Include Subfolders off (it is on at a first run).
xdotool key --delay 150 alt+3 alt+2 ctrl+s
sleep 0.5
[ "$(xdotool getwindowname "$WINDOW")" = "Pellux" ] || fail "caption changed without a folder"

# File > Exit from the keyboard.
xdotool key --delay 300 alt+f x

for _ in $(seq 1 100); do
  kill -0 "$PELLUX_PID" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$PELLUX_PID" 2>/dev/null && fail "pellux.exe is still running after File > Exit"
status=0
wait "$PELLUX_PID" || status=$?
PELLUX_PID=""
[ "$status" -eq 0 ] || fail "exit code $status, expected 0"

settings="$(wine reg query "$KEY" 2>/dev/null | tr -d '\r')"
echo "$settings"
grep -Eq 'StringType[[:space:]]+REG_DWORD[[:space:]]+0x1$' <<<"$settings" || fail "StringType is not 1 (Unicode)"
grep -Eq 'SubFolders[[:space:]]+REG_DWORD[[:space:]]+0x0$' <<<"$settings" || fail "SubFolders is not 0"
grep -Eq 'MainWindow[[:space:]]+REG_BINARY[[:space:]]+2C000000' <<<"$settings" || fail "MainWindow placement missing"
types="$(wine reg query "$KEY\\Recent Extensions" 2>/dev/null | tr -d '\r')"
grep -q '\*\.exe;\*\.dll;\*\.sys' <<<"$types" || fail "default file types were not saved"
echo "main_window.sh: PASS"

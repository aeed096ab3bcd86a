#!/usr/bin/env bash
# Searches from the window of the real pellux.exe under Wine, with keyboard
# only, as a person would: picks a folder in the system's folder picker,
# types a search text and file types into the Search dialog and compares the
# result tree with the matches the fixture was built with, and checks that
# Ctrl+Q while idle changes nothing. Then it stops a long search with Ctrl+Q,
# switches folders through the Recent Folders menu, closes the window while
# a search runs and checks the exit code and the recent lists written at exit.
#
#   bash search.sh <path-to-pellux.exe> <build-dir>
# DISPLAY and WINEPREFIX are set by the caller (tools/pellux-env test);
# PELLUX_READ_TREE names the reader of the window's tree, toolbar and status
# bar (tests/e2e/read_tree.cpp).
set -euo pipefail

EXE="$1"
BUILD="$2"
READER="${PELLUX_READ_TREE:?PELLUX_READ_TREE must name pellux_read_tree.exe}"
KEY='HKCU\Software\Tavrin\Pellux'
: "${DISPLAY:?DISPLAY must be set}" "${WINEPREFIX:?WINEPREFIX must be set}"
export WINEDEBUG=-all

SMALL="$BUILD/e2e-search-fixture"
BIG="$BUILD/e2e-search-big"
IDM_SEARCH=3001
IDM_STOP=3002

PELLUX_PID=""
cleanup() {
  if [ -n "$PELLUX_PID" ] && kill -0 "$PELLUX_PID" 2>/dev/null; then
    kill "$PELLUX_PID" 2>/dev/null || true
    wait "$PELLUX_PID" 2>/dev/null || true
  fi
  rm -rf "$SMALL" "$BIG"
  # Leave the prefix's settings as a first run would find them.
  wine reg delete "$KEY" /f >/dev/null 2>&1 || true
}
trap cleanup EXIT
trap 'exit 130' INT TERM

fail() {
  echo "search.sh: FAIL: $*" >&2
  import -window root "$BUILD/e2e-search-failure.png" 2>/dev/null \
    && echo "search.sh: screen saved to $BUILD/e2e-search-failure.png" >&2
  exit 1
}

# The path as Wine shows it: the Linux root is drive Z:.
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# Prints nothing when the window or control cannot be read.
reader() { wine "$READER" "$@" 2>/dev/null | tr -d '\r' || true; }
button() { reader --button "$1"; }
alive() { kill -0 "$PELLUX_PID" 2>/dev/null; }
ended() { ! alive; }

# Polls a shell condition every 0.2 s for at most $1 seconds.
wait_until() {
  local deadline=$((SECONDS + $1)); shift
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.2
  done
}

visible() { xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1 || true; }
shown() { [ -n "$(visible "$1")" ]; }
gone() { [ -z "$(visible "$1")" ]; }
caption_is() { [ "$(xdotool getwindowname "$WINDOW" 2>/dev/null)" = "$1" ]; }
running() { [ "$(button $IDM_STOP)" = enabled ]; }
idle() { [ "$(button $IDM_STOP)" = disabled ] && [ "$(button $IDM_SEARCH)" = enabled ]; }

focus_main() { xdotool windowfocus --sync "$WINDOW"; sleep 0.3; }

# Picks a folder with Ctrl+O. Wine's picker is the common item dialog in
# folder mode, captioned "Select Folder", with the focus in its name field;
# a full path typed there and its Open button (Alt+O) choose that folder.
pick_folder() {
  local picker
  focus_main
  xdotool key ctrl+o
  wait_until 20 shown '^Select Folder$' || fail "Ctrl+O showed no folder picker"
  picker="$(visible '^Select Folder$')"
  xdotool windowfocus --sync "$picker"
  sleep 0.3
  xdotool type --delay 20 "$(winpath "$1")"
  xdotool key alt+o
  wait_until 20 caption_is "Pellux $(winpath "$1")" \
    || fail "caption is '$(xdotool getwindowname "$WINDOW")' after picking $1"
}

# Fills the open Search dialog and confirms it with Enter. The dialog comes
# up with the focus in "Search for:"; each field's old text is replaced.
search_for() {
  local dialog
  wait_until 20 shown '^Search$' || fail "the Search dialog did not open"
  dialog="$(visible '^Search$')"
  xdotool windowfocus --sync "$dialog"
  sleep 0.3
  xdotool key Home shift+End
  xdotool type --delay 20 "$1"
  xdotool key Tab Home shift+End
  xdotool type --delay 20 "$2"
  xdotool key Return
  wait_until 10 gone '^Search$' || fail "the Search dialog stayed open after Enter"
}

# Chooses entry $1 (0 = most recent) of File > Recent Folders.
recent_folder() {
  local downs=()
  for ((i = 0; i < $1; i++)); do downs+=(Down); done
  focus_main
  xdotool key --delay 300 alt+f r "${downs[@]}" Return
}

reg_sz() {
  wine reg query "$KEY\\$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_SZ *//p" || true
}

# --- Fixtures ----------------------------------------------------------------
# The small folder holds matches of NEEDLE at known offsets. Wine lists names
# sorted without regard to case, a subfolder's files where its name sorts.
rm -rf "$SMALL" "$BIG"
mkdir -p "$SMALL/Docs.log" "$BIG"
pad() { head -c "$1" /dev/zero | tr '\0' "$2"; }
# Two back-to-back matches after the first: matches do not overlap.
{ printf 'NEEDLE'; pad 94 x; printf 'NEEDLENEEDLE'; } >"$SMALL/Alpha.txt"
# Binary content, the match ending at the file's last byte.
{ head -c 4096 /dev/zero; printf 'NEEDLE'; } >"$SMALL/beta.bin"
# A folder whose name fails the file types is still searched.
printf 'abcdeNEEDLE\n' >"$SMALL/Docs.log/inner.txt"
: >"$SMALL/empty.txt"
# Upper-case extension passes; the lower-case needle is no match.
printf 'needle NEEDLE' >"$SMALL/Epsilon.TXT"
printf 'NEEDLE' >"$SMALL/gamma.log"          # excluded by the file types
printf 'no match here, NEEDL' >"$SMALL/zeta.txt"

S="$(winpath "$SMALL")"
EXPECTED="$(printf '%s\n' \
  "$S\\Alpha.txt" "$(printf '\t%08X' 0)" "$(printf '\t%08X' 100)" "$(printf '\t%08X' 106)" \
  "$S\\beta.bin" "$(printf '\t%08X' 4096)" \
  "$S\\Docs.log\\inner.txt" "$(printf '\t%08X' 5)" \
  "$S\\Epsilon.TXT" "$(printf '\t%08X' 7)")"

# The big folder: a 4 GiB sparse file takes seconds to scan. Its only match
# is at its very end, and zz.bin comes after it, so a stopped search shows
# neither, while aa.txt, scanned before, stays in the tree.
printf 'Marker42' >"$BIG/aa.txt"
truncate -s 4G "$BIG/big.bin"
printf 'Marker42' | dd of="$BIG/big.bin" bs=1 seek=$((4 * 1024 * 1024 * 1024 - 8)) conv=notrunc status=none
printf 'Marker42' >"$BIG/zz.bin"
BIG_W="$(winpath "$BIG")"
STOPPED_TREE="$(printf '%s\n\t%08X' "$BIG_W\\aa.txt" 0)"

# --- First run: pick a folder, search, read the tree ---------------------------
wine reg delete "$KEY" /f >/dev/null 2>&1 || true
wine "$EXE" >/dev/null 2>&1 &
PELLUX_PID=$!
WINDOW="$(timeout 60 xdotool search --sync --onlyvisible --name '^Pellux$' | head -n 1)" \
  || fail "the Pellux window did not appear"

pick_folder "$SMALL"
# At a first run the format is Ansi and Include Subfolders is on.
search_for NEEDLE '*.txt;*.bin'
tree_is_expected() { [ "$(reader)" = "$EXPECTED" ] && idle; }
if ! wait_until 30 tree_is_expected; then
  echo "expected tree:"; echo "$EXPECTED"; echo "tree shown:"; reader || true
  fail "the result tree differs from the matches in the fixture (or the search did not end)"
fi
[ -z "$(reader --status)" ] || fail "status bar still shows '$(reader --status)' after the search"

# --- Ctrl+Q while idle ------------------------------------------------------------
# Stop is grayed while idle, so its shortcut must do nothing. Bound to another
# command or acting anyway, it would show: the process gone, a dialog or the
# folder picker open, the caption, tree or status changed, Stop enabled, or
# a window that no longer answers the reader.
focus_main
xdotool key ctrl+q
sleep 1
alive || fail "pellux.exe ended after Ctrl+Q while idle"
gone '^Search$' || fail "Ctrl+Q while idle opened the Search dialog"
gone '^Select Folder$' || fail "Ctrl+Q while idle opened the folder picker"
caption_is "Pellux $S" || fail "caption is '$(xdotool getwindowname "$WINDOW")' after Ctrl+Q while idle"
[ "$(reader)" = "$EXPECTED" ] || fail "the tree changed, or the window is gone, after Ctrl+Q while idle"
[ -z "$(reader --status)" ] || fail "status bar shows '$(reader --status)' after Ctrl+Q while idle"
idle || fail "not idle after Ctrl+Q while idle (Stop $(button $IDM_STOP), Search $(button $IDM_SEARCH))"

# --- A long search stopped with Ctrl+Q ------------------------------------------
pick_folder "$BIG"
search_for Marker42 '*.txt;*.bin'
wait_until 15 running || fail "the search of the big folder is not running (Stop is not enabled)"
[ "$(reader --status)" = "$BIG_W\\big.bin" ] \
  || fail "status bar shows '$(reader --status)' while big.bin is scanned"
focus_main
xdotool key ctrl+q
wait_until 5 idle || fail "the window is not idle 5 s after Ctrl+Q (Stop $(button $IDM_STOP), Search $(button $IDM_SEARCH))"
alive || fail "pellux.exe ended after Ctrl+Q"
tree="$(reader)"
[ "$tree" = "$STOPPED_TREE" ] \
  || fail "after the stop the tree should hold only aa.txt's match, it shows: $tree"
[ -z "$(reader --status)" ] || fail "status bar not cleared after the stop"

# --- Recent Folders menu: switches the folder without opening the dialog -----
recent_folder 1
wait_until 10 caption_is "Pellux $S" || fail "Recent Folders entry 1 did not choose $S"
sleep 1
gone '^Search$' || fail "choosing a recent folder opened the Search dialog"
recent_folder 1
wait_until 10 caption_is "Pellux $BIG_W" || fail "Recent Folders entry 1 did not choose $BIG_W"

# --- Closing the window while a search runs -------------------------------------
# The dialog opens with the last search text and file types: Enter searches.
focus_main
xdotool key ctrl+f
wait_until 20 shown '^Search$' || fail "Ctrl+F did not open the Search dialog"
xdotool windowfocus --sync "$(visible '^Search$')"
sleep 0.3
xdotool key Return
wait_until 15 running || fail "the second search of the big folder is not running"
# File > Exit: in Wine a focused tree view swallows Alt+F4.
focus_main
xdotool key --delay 300 alt+f x
wait_until 10 ended || fail "pellux.exe still runs 10 s after File > Exit during a search"
status=0
wait "$PELLUX_PID" || status=$?
PELLUX_PID=""
[ "$status" -eq 0 ] || fail "exit code $status, expected 0"

# --- Settings written at exit ---------------------------------------------------
check_value() {
  local got
  got="$(reg_sz "$1" "$2")"
  [ "$got" = "$3" ] || fail "$1 value $2 is '$got', expected '$3'"
}
check_value 'Recent Searches' 0 'Marker42'
check_value 'Recent Searches' 1 'NEEDLE'
check_value 'Recent Folders' 0 "$BIG_W"
check_value 'Recent Folders' 1 "$S"
check_value 'Recent Folders' 2 ''
check_value 'Recent Extensions' 0 '*.txt;*.bin'
check_value 'Recent Extensions' 1 '*.*'
check_value 'Recent Extensions' 2 '*.exe;*.dll;*.sys'
echo "search.sh: PASS"

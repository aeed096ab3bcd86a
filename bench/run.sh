#!/usr/bin/env bash
# One run of every benchmark: Pellux (under Wine) side by side with rg -j1,
# grep -F and a memchr sweep of the same mapped files, on a generated corpus.
#
#   tools/pellux-env exec bench/run.sh [CORPUS_DIR]
#
# CORPUS_DIR defaults to /tmp/pellux-bench; it is generated there on the
# first run (about 3.2 GB, deterministic) and reused afterwards. Needs the
# Wine environment that tools/pellux-env exec sets up.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${PELLUX_BUILD:-$ROOT/build}"
CORPUS="${1:-/tmp/pellux-bench}"
NATIVE="$BUILD/bench-native"
BENCH="$BUILD/bench/pellux_bench.exe"
ROUNDS=5

case "$CORPUS" in
  "$ROOT"|"$ROOT"/*) echo "run.sh: put the corpus outside the repository" >&2; exit 2 ;;
esac
[ -f "$BENCH" ] || { echo "run.sh: $BENCH not built (run through tools/pellux-env exec)" >&2; exit 2; }

mkdir -p "$NATIVE"
g++ -O2 -Wall -Wextra -o "$NATIVE/gen_corpus" "$ROOT/bench/gen_corpus.cpp"
g++ -O2 -Wall -Wextra -o "$NATIVE/memchr_sweep" "$ROOT/bench/memchr_sweep.cpp"

STAMP="$CORPUS/.pellux-corpus-v1"
if [ ! -f "$STAMP" ]; then
  echo "generating the corpus in $CORPUS ..." >&2
  rm -rf "$CORPUS"
  "$NATIVE/gen_corpus" "$CORPUS"
  touch "$STAMP"
fi
# This machine's memory manager pages out file data that has not been
# touched for about a minute, so each measurement warms its own files first.
warm() { find "$1" -type f -exec cat {} + >/dev/null; }

# corpus  pattern-hex  memchr-byte  rg-regex
CASES=(
  "large   A73C91E25BD46F18                  a7 (?-u)\\xA7\\x3C\\x91\\xE2\\x5B\\xD4\\x6F\\x18"
  "zeros   0000000000000002                  02 (?-u)\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x02"
  "utf16   51007500690078006F00740069006300  51 (?-u)Q\\x00u\\x00i\\x00x\\x00o\\x00t\\x00i\\x00c\\x00"
  "small   A73C91E25BD46F18                  a7 (?-u)\\xA7\\x3C\\x91\\xE2\\x5B\\xD4\\x6F\\x18"
  "matches A73C91E25BD46F18                  a7 (?-u)\\xA7\\x3C\\x91\\xE2\\x5B\\xD4\\x6F\\x18"
)

now() { date +%s.%N; }
# Best wall time of ROUNDS runs of a shell pipeline; prints "seconds lines".
best_of() {
  local best="" lines t0 t1 s
  for _ in $(seq "$ROUNDS"); do
    t0=$(now); lines=$(bash -c "$1"); t1=$(now)
    s=$(awk -v a="$t0" -v b="$t1" 'BEGIN{printf "%.6f", b-a}')
    if [ -z "$best" ] || awk -v s="$s" -v b="$best" 'BEGIN{exit !(s<b)}'; then best=$s; fi
  done
  echo "$best $lines"
}
field() { tr ' ' '\n' <<<"$1" | sed -n "s/^$2=//p"; }
winpath() { echo "Z:${1//\//\\}"; }

RESULTS=()
for line in "${CASES[@]}"; do
  read -r name hex byte regex <<<"$line"
  dir="$CORPUS/$name"
  echo "running $name ..." >&2
  printf '%s' "$hex" | xxd -r -p >"$NATIVE/$name.pat"
  warm "$dir"
  sweep=$("$NATIVE/memchr_sweep" "$dir" "$byte")
  for _ in $(seq 2 "$ROUNDS"); do
    again=$("$NATIVE/memchr_sweep" "$dir" "$byte")
    if awk -v a="$(field "$again" seconds)" -v b="$(field "$sweep" seconds)" 'BEGIN{exit !(a<b)}'; then sweep=$again; fi
  done
  read=$("$NATIVE/memchr_sweep" "$dir" read)
  for _ in $(seq 2 "$ROUNDS"); do
    again=$("$NATIVE/memchr_sweep" "$dir" read)
    if awk -v a="$(field "$again" seconds)" -v b="$(field "$read" seconds)" 'BEGIN{exit !(a<b)}'; then read=$again; fi
  done
  bytes=$(field "$sweep" bytes); files=$(field "$sweep" files)
  warm "$dir"
  rg=$(best_of "rg -j1 --no-config -uu -a -o -b -e '$regex' '$dir' | wc -l")
  warm "$dir"
  rgm=$(best_of "rg -j1 --mmap --no-config -uu -a -o -b -e '$regex' '$dir' | wc -l")
  warm "$dir"
  gr=$(best_of "LC_ALL=C grep -r -a -o -b -F -f '$NATIVE/$name.pat' '$dir' | wc -l")
  warm "$dir"
  pf=$(wine "$BENCH" files "$(winpath "$dir")" "$hex" | tr -d '\r')
  warm "$dir"
  ps=$(wine "$BENCH" search "$(winpath "$dir")" "$hex" | tr -d '\r')
  RESULTS+=("name=$name bytes=$bytes files=$files sweep=$(field "$sweep" seconds) readsweep=$(field "$read" seconds) rg=${rg% *} rgn=${rg#* } rgm=${rgm% *} grep=${gr% *} grepn=${gr#* } $pf $ps")
done
warm "$CORPUS/large"
stop=$(wine "$BENCH" stop "$(winpath "$CORPUS/large")" A73C91E25BD46F18 | tr -d '\r')

echo
echo "Pellux benchmark  $(date -u '+%Y-%m-%d %H:%M UTC')  $(nproc) cores  $(wine --version)  corpus $CORPUS"
echo "Throughput in GB/s (1e9 bytes), files in files/s; best of $ROUNDS; Pellux under Wine, the others native."
echo
for r in "${RESULTS[@]}"; do echo "$r"; done | awk '
  function kv(s,   n, i, a, p) { delete F; n = split(s, a, " "); for (i = 1; i <= n; i++) { p = index(a[i], "="); F[substr(a[i], 1, p - 1)] = substr(a[i], p + 1) } }
  function rate(sec) { return sec > 0 ? (F["name"] == "small" ? F["files"] / sec : F["bytes"] / sec / 1e9) : 0 }
  BEGIN {
    printf "%-8s %6s | %8s %8s %8s %5s %5s | %8s %8s %8s %8s | %6s %6s | %s\n", "corpus", "unit", "memchr", "read", "kernel", "k/mc", "k/rd",
           "search", "rg -j1", "rg mmap", "grep -F", "s/rg", "s/rgm", "matches pellux/rg/grep (tree nodes)"
  }
  {
    kv($0)
    unit = F["name"] == "small" ? "file/s" : "GB/s"
    kernel = F["bytes"] / F["scan"] / 1e9
    mc = F["bytes"] / F["sweep"] / 1e9
    rd = F["bytes"] / F["readsweep"] / 1e9
    printf "%-8s %6s | %8.4g %8.4g %8.4g %4.0f%% %4.0f%% | %8.4g %8.4g %8.4g %8.4g | %6.2f %6.2f | %d/%d/%d (%d)\n", F["name"], unit,
           rate(F["sweep"]), rate(F["readsweep"]), (F["name"] == "small" ? F["files"] / F["total"] : kernel),
           100 * kernel / mc, 100 * kernel / rd,
           rate(F["seconds"]), rate(F["rg"]), rate(F["rgm"]), rate(F["grep"]),
           F["rg"] / F["seconds"], F["rgm"] / F["seconds"], F["matches"], F["rgn"], F["grepn"], F["nodes"]
    line[F["name"]] = $0
  }
  END {
    print ""
    print "memchr: mmap + memchr sweep for one byte of the pattern (hits counted); read: the same mapping, every byte read."
    print "k/mc, k/rd: the scan kernel alone (Pellux, Wine) against those two sweeps (native), bytes per second."
    print "s/rg, s/rgm: rg -j1 (default, --mmap) time divided by Pellux whole-search time (above 1: Pellux faster)."
    print "For small, the memchr, read and kernel columns are files/s of the sweeps and of the timed walk loop."
    kv(line["large"])
    printf "\nlarge: whole search %.1f ms = start-up until the first file is shown %.1f ms + walk and scan + wind-down after the last file %.1f ms\n",
           1e3*F["seconds"], 1e3*F["startup"], 1e3*F["winddown"]
    kv(line["small"])
    n = F["files"]
    printf "\nsmall files, time per file in microseconds (floor loop: enumerate, open, read, close on a worker thread):\n"
    printf "  open %.1f  read %.1f  scan %.1f  close %.1f  enumeration+rest %.1f  total %.1f\n",
           1e6*F["open"]/n, 1e6*(F["mapping"]+F["view"])/n, 1e6*F["scan"]/n, 1e6*F["close"]/n,
           1e6*(F["total"]-F["open"]-F["mapping"]-F["view"]-F["status"]-F["scan"]-F["close"])/n, 1e6*F["total"]/n
    printf "  Pellux whole search against the floor: %.2fx the time per file of the floor loop\n", F["seconds"] / F["total"]
    printf "  whole search: %.1f us per file; one synchronous message to the UI thread (WM_NULL round trip): %.1f us\n",
           1e6*F["seconds"]/n, 1e6*F["roundtrip"]
    kv(line["matches"])
    printf "\nmatches: %d nodes in %.3f s = %.0f nodes/s; seconds per successive 10,000 insertions: %s\n",
           F["nodes"], F["seconds"], F["nodes"] / F["seconds"], F["per10k"]
  }'
echo
echo "stop (Stop pressed 5-120 ms into a search of large, until the worker has restored the idle window): $stop"

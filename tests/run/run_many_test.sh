#!/usr/bin/env bash
# tools/run-many on a handful of decks: one folder per deck, the table of
# exit statuses and summary lines, its own exit status, decks from standard
# input, the time limit, and the refusals (two decks for one folder, no GNU
# parallel).
#
# Usage: run_many_test.sh NLFRAME RUN_MANY
# Exits 77 (reported as skipped) when GNU parallel is not installed.
set -uo pipefail

nlframe="$1"
run_many="$2"

if ! command -v parallel >/dev/null 2>&1; then
  echo "SKIPPED: GNU parallel is not installed (apt-get install parallel, or bash tools/ensure-tools)"
  exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

passed=0
failed=0
check() {  # check DESCRIPTION COMMAND...
  local what="$1"
  shift
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: $what"
  fi
}

# A cantilever loaded at its tip in $1 load-controlled steps.
cantilever() {
  cat <<EOF
   0  0  1     CANTILEVER
P  0  0  0     2100.       21.       21.
O  1  0  0       20.       10.        0.        0.        0.       2.4
J  1  0  0        0.        0.
J  2  0  0      300.        0.
M  1  2  1       0.2       0.4       0.6       0.8
W  0  0  0      2.22      2.12
L 20  1  0
B  1111  0
B  2  0  0        0.       -1.
E  0  $1  1     1E-08
F
EOF
}

mkdir decks
cantilever 2 >decks/two.dat
cantilever 3 >"decks/three steps long name.dat"
# A field that is not a number: the file layer refuses it (status 2).
sed 's/      300\./      3x0./' decks/two.dat >decks/badnumber.dat
# A member naming a joint that does not exist: a deck error (status 1).
sed 's/^M  1  2  1/M  1  9  1/' decks/two.dat >decks/nojoint.dat

# ---- decks as arguments, one of them missing ------------------------------
out=$("$run_many" -p "$nlframe" -o runs decks/two.dat "decks/three steps long name.dat" \
  decks/badnumber.dat decks/nojoint.dat decks/missing.dat 2>&1)
status=$?
check "a failed run makes the exit status 1 (was $status)" test "$status" -eq 1
check "the table is printed" grep -q '^deck  *status  *folder  *summary' <<<"$out"

table=runs/summary.txt
check "the table is saved" test -f "$table"
check "one header and one line per deck" test "$(wc -l <"$table")" -eq 6
row() { awk -F'\t' -v n="$1" 'NR == n + 1' "$table"; }
field() { row "$1" | cut -f "$2"; }

check "rows keep the order of the decks" test "$(field 1 1)" = "$work/decks/two.dat"
check "a complete run has status 0" test "$(field 1 2)" = 0
check "its summary line is collected" \
  grep -Eq '^2 steps, [0-9]+ iterations, 0 not converged; peak: group 1 load factor 2 at step 2 \(still rising, no peak passed\), [0-9.]+ s$' <<<"$(field 1 4)"
check "each deck runs in its own folder" test "$(field 1 3)" = "$work/runs/two"
for f in two.dat R.rst Jfor.rst Jdis.rst Mfor.rst Mdis.rst Mstr.rst fort.61 stdout.txt stderr.txt; do
  check "runs/two/$f is written" test -s "runs/two/$f"
done
check "the history file holds both steps" test "$(tail -n +17 runs/two/fort.61 | wc -l)" -eq 2

check "a name with blanks, too long for the program, still runs" test "$(field 2 2)" = 0
check "... as deck.dat in its folder" test -f "runs/three steps long name/deck.dat"
check "... with its own step count" grep -q '^3 steps,' <<<"$(field 2 4)"

check "a malformed number gives status 2" test "$(field 3 2)" = 2
check "... and the file layer's line and columns" \
  grep -q "badnumber.dat: line 5, columns 11-20: '3x0.' is not a number" <<<"$(field 3 4)"

check "a deck error gives status 1" test "$(field 4 2)" = 1
check "... and the program's message" grep -q "joint 9, which is not defined" <<<"$(field 4 4)"

check "a missing deck is marked -" test "$(field 5 2)" = "-"
check "... as not found" test "$(field 5 4)" = "deck file not found"

# ---- decks on standard input, all good, two at a time ----------------------
printf '%s\n' "$work/decks/two.dat" "" "decks/three steps long name.dat" |
  "$run_many" -p "$nlframe" -o "$work/stdin runs" -j 2 >stdin.log 2>&1
status=$?
check "all runs complete: exit status 0 (was $status)" test "$status" -eq 0
check "both decks from standard input ran" test "$(wc -l <"stdin runs/summary.txt")" -eq 3
check "the closing line counts the runs" grep -q '^run-many: 2 runs, 0 failed' stdin.log

# ---- steps that do not converge: the summary line, not a warning ----------
sed 's/^E  0  3  1     1E-08/E  0  3  1        0./' "decks/three steps long name.dat" >decks/notol.dat
"$run_many" -p "$nlframe" -o notol-runs decks/notol.dat >/dev/null 2>&1
check "non-converged steps leave status 0" test "$(cut -f 2 notol-runs/summary.txt | tail -n 1)" = 0
check "... the summary line is collected, not the warning" \
  grep -Eq '^3 steps, [0-9]+ iterations, 3 not converged; peak: group 1 load factor 3 at step 3 \(still rising, no peak passed\) \(from a step that did not converge\); warning: group 1: step 3 near the peak did not converge.*, [0-9.]+ s$' <<<"$(cut -f 4 notol-runs/summary.txt | tail -n 1)"
check "... the warning names the range" \
  grep -q '^nlframe: warning: steps 1-3 did not converge: 3 steps' notol-runs/notol/stderr.txt

# ---- time limit --------------------------------------------------------------
printf '#!/bin/sh\nsleep 20\n' >slow
chmod +x slow
start=$SECONDS
"$run_many" -p "$work/slow" -o slow-runs -t 1 decks/two.dat >/dev/null 2>&1
status=$?
check "a run past the time limit fails the command" test "$status" -eq 1
check "... without waiting for it" test $((SECONDS - start)) -lt 15
check "... and is marked 124" test "$(cut -f 2 slow-runs/summary.txt | tail -n 1)" = 124

# ---- refusals ------------------------------------------------------------
mkdir other
cp decks/two.dat other/two.dat
"$run_many" -p "$nlframe" -o dup decks/two.dat other/two.dat >dup.log 2>&1
status=$?
check "two decks for one folder are refused with status 2" test "$status" -eq 2
check "... naming the folder" grep -q "same folder .*/dup/two" dup.log
check "... before anything runs" test ! -e dup/two

PATH="$work/nowhere" /bin/bash "$run_many" -p "$nlframe" decks/two.dat >noparallel.log 2>&1
status=$?
check "without GNU parallel the command stops with status 2" test "$status" -eq 2
check "... and says how to install it" grep -q "apt-get install parallel" noparallel.log

"$run_many" --help | grep -q '^Usage: tools/run-many'
check "--help prints the usage" test $? -eq 0

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]

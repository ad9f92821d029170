#!/bin/bash
# Ctrl+C: the first stops the run at its next step and exits 130 without output; the second
# ends the program at once. With --save the interrupted calculation is saved and continues.
# The long runs claim more memory than a machine may have: they are interrupted long before
# they need it.
# shellcheck source=tests/cli/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

now() { date +%s%N; }

"$cli" --quiet --memory-limit 1024G factorial 999999999 -o "$dir/never.txt" >"$dir/out" 2>"$dir/err" &
pid=$!
sleep 1
kill -INT "$pid"
start=$(now)
wait_for "$pid" 5
elapsed_ms=$((($(now) - start) / 1000000))
[[ "$rc" == 130 ]] || fail "first Ctrl+C: exit $rc after ${elapsed_ms} ms"
[[ ! -s "$dir/out" ]] || fail "output after an interrupt"
[[ ! -e "$dir/never.txt" ]] || fail "result file written after an interrupt"
[[ -z "$(ls -A "$dir" | grep -v -x -e out -e err)" ]] || fail "files left behind: $(ls -A "$dir")"
echo "interrupted in ${elapsed_ms} ms"

"$cli" --quiet --memory-limit 1024G factorial 999999999 >"$dir/out" 2>&1 &
pid=$!
sleep 1
kill -INT "$pid"
sleep 0.05
kill -INT "$pid"
wait_for "$pid" 1
[[ "$rc" == 130 ]] || fail "second Ctrl+C: exit $rc"

# Interrupted with --save: the calculation file holds the class reached, and continuing it
# gives the result of a direct run.
"$cli" --quiet --memory-limit 1024G combinations 499999999 999999999 --save "$dir/cut.cfr" \
    >"$dir/out" 2>"$dir/err" &
pid=$!
sleep 0.3
kill -INT "$pid"
wait_for "$pid" 20
[[ "$rc" == 130 ]] || fail "Ctrl+C with --save: exit $rc, $(cat "$dir/err")"
[[ ! -s "$dir/out" ]] || fail "output after an interrupt with --save"
[[ "$(ls -A "$dir" | grep -c cut)" == 1 ]] || fail "files of the save: $(ls -A "$dir")"
reached=$("$cli" --quiet --header open "$dir/cut.cfr" | LC_ALL=C grep -a -o -m1 'Kombinace [0-9]*')
reached=${reached//[^0-9]/}
if [[ -z "$reached" || "$reached" -ge 499999999 ]]; then
    fail "the saved calculation reached the class [$reached]"
else
    target=$((reached + 1000))
    "$cli" --quiet open "$dir/cut.cfr" --to $target >"$dir/continued" || fail "open --to: exit $?"
    "$cli" --quiet combinations $target 999999999 >"$dir/direct"
    cmp -s "$dir/continued" "$dir/direct" || fail "interrupted at $reached, continued to $target"
    echo "interrupted at the class $reached and continued to $target"
fi

exit $((failures > 0))

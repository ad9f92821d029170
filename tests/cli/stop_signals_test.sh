#!/bin/bash
# SIGTERM and SIGHUP stop a run as the first Ctrl+C does: --save keeps the step reached and the
# tool exits with 128 plus the signal's number. Signals at any moment of a run and its -o write
# leave no temporary file behind, and a start removes what a killed run left beside its files.
# shellcheck source=tests/cli/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

leftovers() { find "$1" -name '.cifrovar-*' -o -name 'cifrovar-*.tmp'; }

# The run is far too long to end by itself; the signal stops it and the save keeps its class.
for signal in TERM:143 HUP:129; do
    name=${signal%:*} expected=${signal#*:}
    mkdir "$dir/$name"
    "$cli" --quiet --memory-limit 1024G combinations 499999999 999999999 \
        --save "$dir/$name/cut.cfr" >"$dir/$name/out" 2>"$dir/$name/err" &
    pid=$!
    sleep 0.3
    kill -"$name" "$pid"
    wait_for "$pid" 20
    [[ "$rc" == "$expected" ]] || fail "SIG$name: exit $rc, $(cat "$dir/$name/err")"
    [[ ! -s "$dir/$name/out" ]] || fail "SIG$name: output after the stop"
    reached=$("$cli" --quiet --header open "$dir/$name/cut.cfr" 2>&1 |
        LC_ALL=C grep -a -o -m1 'Kombinace [0-9]*')
    [[ -n "$reached" ]] || fail "SIG$name: no calculation saved"
    [[ -z "$(leftovers "$dir/$name")" ]] || fail "SIG$name left $(leftovers "$dir/$name")"
done

# Signals at random moments of a run and of its result's write: the result file is whole or
# absent, and no temporary file stays. SIGKILL may leave the replaced file's temporary file;
# the next start into that folder removes it.
"$cli" --quiet factorial 3000000 -o "$dir/reference.txt" || fail "reference run: exit $?"
mkdir "$dir/sweep"
killed_in_write=0
for round in {1..9}; do
    case $((round % 3)) in
        0) name=TERM expected=143 ;;
        1) name=HUP expected=129 ;;
        2) name=KILL expected=137 ;;
    esac
    rm -f "$dir/sweep/out.txt"
    "$cli" --quiet factorial 3000000 -o "$dir/sweep/out.txt" 2>"$dir/sweep/err" &
    pid=$!
    sleep "$((RANDOM % 2)).$((RANDOM % 10))$((RANDOM % 10))"
    kill -"$name" "$pid" 2>/dev/null
    wait_for "$pid" 20
    [[ "$rc" == 0 || "$rc" == "$expected" ]] || fail "round $round, SIG$name: exit $rc"
    if [[ -e "$dir/sweep/out.txt" ]] && ! cmp -s "$dir/sweep/out.txt" "$dir/reference.txt"; then
        fail "round $round, SIG$name: a torn result file"
    fi
    if [[ "$name" == KILL ]]; then
        [[ -z "$(leftovers "$dir/sweep")" ]] || killed_in_write=$((killed_in_write + 1))
        "$cli" --quiet power 2 10 -o "$dir/sweep/small.txt" || fail "start after SIGKILL: $?"
    fi
    [[ -z "$(leftovers "$dir/sweep")" ]] || fail "round $round, SIG$name left $(leftovers "$dir/sweep")"
done
echo "SIGKILL left a temporary file in $killed_in_write of 3 rounds; the next start removed it"

# Leftovers planted in the folders of --workdir, --save and -o: the start removes those of a
# process that has ended and keeps those of a live one, links and other names.
sh -c 'exit 0' &
dead=$!
wait "$dead"
for folder in work save out; do
    mkdir "$dir/$folder"
    echo x >"$dir/$folder/.cifrovar-$dead-0.tmp"
    echo x >"$dir/$folder/.cifrovar-$$-0.tmp"
    echo x >"$dir/$folder/keep.txt"
    ln -s keep.txt "$dir/$folder/.cifrovar-$dead-1.tmp"
    echo x >"$dir/$folder/.cifrovar-$dead-2.tmp.bak"
done
"$cli" --quiet --workdir "$dir/work" power 2 10 --save "$dir/save/p.cfr" -o "$dir/out/p.txt" ||
    fail "the start with leftovers: exit $?"
for folder in work save out; do
    [[ ! -e "$dir/$folder/.cifrovar-$dead-0.tmp" ]] || fail "$folder: a dead process's file stays"
    for kept in ".cifrovar-$$-0.tmp" keep.txt ".cifrovar-$dead-1.tmp" ".cifrovar-$dead-2.tmp.bak"; do
        [[ -e "$dir/$folder/$kept" || -L "$dir/$folder/$kept" ]] || fail "$folder: $kept removed"
    done
    [[ "$(cat "$dir/$folder/keep.txt")" == x ]] || fail "$folder: the link's target changed"
done

exit $((failures > 0))

#!/bin/bash
# Calculation files from the command line: open, continuation with --to, --save, backups and
# the error log.
# shellcheck source=tests/cli/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

# same FILE1 FILE2 WHAT
same() {
    cmp -s "$1" "$2" || fail "$3: $(head -c 80 "$1") differs from $(head -c 80 "$2")"
}

# expect_error MESSAGE ARGS...: exactly MESSAGE on standard error, exit 1, nothing printed.
expect_error() {
    local message="$1"
    shift
    "$cli" --quiet "$@" >"$dir/out" 2>"$dir/err"
    local rc=$?
    [[ $rc -eq 1 && "$(cat "$dir/err")" == "$message" && ! -s "$dir/out" ]] ||
        fail "$* -> rc=$rc stderr=[$(cat "$dir/err")] stdout=[$(head -c 80 "$dir/out")]," \
            "expected rc=1 stderr=[$message]"
}

# A saved calculation opens to the same result text, header and all; --to continues it to the
# result of a direct run. Columns: subcommand, operands, a larger target, the continued run.
while IFS='|' read -r name operands target continued; do
    # shellcheck disable=SC2086
    "$cli" --quiet --header $name $operands --save "$dir/$name.cfr" >"$dir/direct" ||
        fail "$name $operands --save: exit $?"
    "$cli" --quiet --header open "$dir/$name.cfr" >"$dir/opened" || fail "open $name: exit $?"
    same "$dir/opened" "$dir/direct" "open of the saved $name $operands"

    # shellcheck disable=SC2086
    "$cli" --quiet --header $name $continued >"$dir/direct"
    "$cli" --quiet --header open "$dir/$name.cfr" --to "$target" >"$dir/opened" ||
        fail "open $name --to $target: exit $?"
    same "$dir/opened" "$dir/direct" "$name $operands continued to $target"
done <<'EOF'
power|7 300|1000|7 1000
mocniny|2 64|65|2 65
factorial|1000|1700|1700
variations|50 100|70|70 100
combinations|40 100|60|60 100
EOF

# A continued calculation can be saved again and continued further.
"$cli" --quiet open "$dir/factorial.cfr" --to 1200 --save "$dir/f1200.cfr" >/dev/null
"$cli" --quiet open "$dir/f1200.cfr" --to 1300 >"$dir/opened"
"$cli" --quiet factorial 1300 >"$dir/direct"
same "$dir/opened" "$dir/direct" "factorial saved at 1200 after a continuation"

# The target obeys the operands' rules.
expect_error "Zadání nemá číselný tvar !" open "$dir/factorial.cfr" --to 1234567890
expect_error "Zadání nemá číselný tvar !" open "$dir/factorial.cfr" --to 12x

# Files that cannot be read.
mkdir "$dir/folder.cfr"
: >"$dir/empty.cfr"
head -c 40 "$dir/factorial.cfr" >"$dir/truncated.cfr"
size=$(stat -c %s "$dir/factorial.cfr")
head -c $((size - 1)) "$dir/factorial.cfr" >"$dir/short.cfr"
for bad in missing.cfr folder.cfr empty.cfr truncated.cfr short.cfr; do
    expect_error "Data nelze načíst !" open "$dir/$bad"
    expect_error "Data nelze načíst !" open "$dir/$bad" --to 5
done

# A calculation file that cannot be written.
expect_error "Data nelze uložit !" factorial 10 --save "$dir/missing/f.cfr"
expect_error "Data nelze uložit !" open "$dir/factorial.cfr" --save "$dir/folder.cfr"

# Backups every 1000 steps: a factorial to 2500 writes them at 1000 and 2000 into the working
# directory, and they hold those factorials.
mkdir "$dir/work"
"$cli" --quiet --backup-every 1000 --workdir "$dir/work" factorial 2500 --digits >/dev/null
[[ "$(ls "$dir/work")" == "$(printf 'zal1f.cfr\nzal2f.cfr')" ]] ||
    fail "backups of factorial 2500: $(ls "$dir/work" | tr '\n' ' ')"
for n in 1000 2000; do
    "$cli" --quiet open "$dir/work/zal$((n / 1000))f.cfr" >"$dir/opened"
    "$cli" --quiet factorial $n >"$dir/direct"
    same "$dir/opened" "$dir/direct" "backup at $n"
done
# Without --backup-every there are none; a working directory that cannot be written to loses
# the backups and nothing else.
rm -f "$dir/work"/*
"$cli" --quiet --workdir "$dir/work" factorial 2500 --digits >/dev/null
[[ -z "$(ls -A "$dir/work")" ]] || fail "backups without --backup-every: $(ls "$dir/work")"
"$cli" --quiet factorial 2500 >"$dir/direct"
mkdir -p "$dir/nowrite/zal1f.cfr"
"$cli" --quiet --backup-every 1000 --workdir "$dir/nowrite" factorial 2500 >"$dir/opened" ||
    fail "a failed backup ended the run: exit $?"
same "$dir/opened" "$dir/direct" "factorial with a failing first backup"

# The error log: the title and an empty line, then a stamped line per report.
mkdir "$dir/logs"
expect_error "Data nelze načíst !" --log --workdir "$dir/logs" open "$dir/missing.cfr"
expect_error "Data nelze načíst !" --log --workdir "$dir/logs" open "$dir/empty.cfr"
log="$dir/logs/cfr_error.log"
if [[ ! -f "$log" ]]; then
    fail "no cfr_error.log after a failed open with --log"
else
    [[ "$(sed -n 1p "$log")" == $'Protokol o chybách v programu Cifrovar 1.5\r' ]] ||
        fail "title line: [$(sed -n 1p "$log" | od -c | head -2)]"
    [[ "$(sed -n 2p "$log")" == $'\r' ]] || fail "second line: [$(sed -n 2p "$log")]"
    [[ "$(sed -n 3p "$log")" == *" - "*" => Data nelze načíst : $dir/missing.cfr"$'\r' ]] ||
        fail "first report: [$(sed -n 3p "$log")]"
    [[ "$(sed -n 4p "$log")" == *" => Data nelze načíst : $dir/empty.cfr"$'\r' ]] ||
        fail "second report: [$(sed -n 4p "$log")]"
    [[ $(wc -l <"$log") -eq 4 && "$(tail -c 2 "$log" | od -An -tx1)" == " 0d 0a" ]] ||
        fail "log of two reports: $(od -c "$log" | tail -3)"
fi
# Without --log nothing is logged.
mkdir "$dir/nolog"
expect_error "Data nelze načíst !" --workdir "$dir/nolog" open "$dir/missing.cfr"
expect_error "Data nelze uložit !" --workdir "$dir/nolog" factorial 10 --save "$dir/missing/f.cfr"
[[ -z "$(ls -A "$dir/nolog")" ]] || fail "files written without --log: $(ls "$dir/nolog")"

# A run refused for lack of memory is still saved, and the saved state continues.
"$cli" --quiet --memory-limit 1K --save "$dir/refused.cfr" factorial 100000 >"$dir/out" 2>"$dir/err"
rc=$?
[[ $rc -eq 1 && "$(head -1 "$dir/err")" == "Tento výpočet je již mimo možnosti paměti Vašeho počítače." &&
    "$(sed -n 2p "$dir/err")" == "Výpočet potřebuje odhadem 7 MiB paměti, k dispozici je 0 MiB." &&
    ! -s "$dir/out" ]] || fail "refused run: rc=$rc stderr=[$(cat "$dir/err")]"
"$cli" --quiet open "$dir/refused.cfr" --to 800 >"$dir/opened" ||
    fail "open of a refused run --to 800: exit $?"
"$cli" --quiet factorial 800 >"$dir/direct"
same "$dir/opened" "$dir/direct" "a refused run continued to 800"
"$cli" --quiet --memory-limit 64M factorial 800 >"$dir/opened" || fail "64M: exit $?"
same "$dir/opened" "$dir/direct" "factorial 800 within 64M"

exit $((failures > 0))

#!/bin/bash
# The result text file: header bytes, wrapping, replacement and failures.
# shellcheck source=tests/cli/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

# same_bytes FILE EXPECTED_PRINTF_FORMAT
same_bytes() {
    printf "$2" >"$dir/expected"
    if ! cmp -s "$1" "$dir/expected"; then
        fail "$1 differs:"
        od -c "$1" | head -8
        echo "expected:"
        od -c "$dir/expected" | head -8
    fi
}

vypocet='V\xfdpo\xe8et : '
pocet='Po\xe8et \xe8\xedslic: '
banner='Vypo\xe8teno programem Cifrovar v1.5\r\n'

"$cli" --quiet power 2 100 --header -o "$dir/p.txt" || fail "power --header exit $?"
same_bytes "$dir/p.txt" "${vypocet}2 ^ 100\r\n${pocet}31\r\n${banner}\r\n1267650600228229401496703205376"

"$cli" --quiet factorial 25 --header -o "$dir/f.txt" || fail "factorial exit $?"
same_bytes "$dir/f.txt" "${vypocet}25 !\r\n${pocet}26\r\n${banner}\r\n15511210043330985984000000"

"$cli" --quiet variations 3 10 --header -o "$dir/v.txt" || fail "variations exit $?"
same_bytes "$dir/v.txt" "${vypocet}Variace 3. t\xf8\xeddy z(e) 10 prvk\xf9\r\n${pocet}3\r\n${banner}\r\n720"

"$cli" --quiet combinations 3 10 --header -o "$dir/k.txt" || fail "combinations exit $?"
same_bytes "$dir/k.txt" "${vypocet}Kombinace 3. t\xf8\xeddy z(e) 10 prvk\xf9\r\n${pocet}3\r\n${banner}\r\n120"

# Without a header the file is the digits line alone, without a line end. Base 10 has
# limbs of 7 digits: 10^20 is the limb 1000000 above two zero limbs.
"$cli" --quiet power 10 20 -o "$dir/plain.txt" || fail "plain exit $?"
same_bytes "$dir/plain.txt" "1000000 x 10^14"
"$cli" --quiet power 10 20 --no-trim -o "$dir/plain.txt" || fail "no-trim exit $?"
same_bytes "$dir/plain.txt" "100000000000000000000"

# Wrapping: 31 digits at 10, the last line without a terminator; to a file and to a pipe.
"$cli" --quiet power 2 100 --wrap 10 -o "$dir/w.txt" || fail "wrap exit $?"
same_bytes "$dir/w.txt" "1267650600\r\n2282294014\r\n9670320537\r\n6"
"$cli" --quiet power 2 100 --wrap 10 >"$dir/w_stdout.txt" || fail "wrap stdout exit $?"
same_bytes "$dir/w_stdout.txt" "1267650600\r\n2282294014\r\n9670320537\r\n6"
# A text ending on a multiple of the width ends with CR LF.
"$cli" --quiet power 2 100 --wrap 31 -o "$dir/w31.txt" || fail "wrap 31 exit $?"
same_bytes "$dir/w31.txt" "1267650600228229401496703205376\r\n"
# "Počet číslic: 31" is 16 characters: the inserted break and its own give an empty line.
"$cli" --quiet power 2 100 --header --wrap 16 -o "$dir/wh.txt" || fail "wrap header exit $?"
same_bytes "$dir/wh.txt" "V\xfdpo\xe8et : 2 ^ 10\r\n0\r\n${pocet}31\r\n\r\nVypo\xe8teno progra\r\nmem Cifrovar v1.\r\n5\r\n\r\n1267650600228229\r\n401496703205376"
# The header goes to standard output too.
"$cli" --quiet power 2 100 --header >"$dir/h_stdout.txt" || fail "header stdout exit $?"
cmp -s "$dir/h_stdout.txt" "$dir/p.txt" || fail "header on standard output differs from the file"

# An existing file is replaced; nothing else is left in the folder.
printf 'a much longer text that was there before' >"$dir/r.txt"
"$cli" --quiet factorial 5 -o "$dir/r.txt" || fail "replace exit $?"
same_bytes "$dir/r.txt" "120"

# A folder that does not exist: the calculator's message, exit 1.
err=$("$cli" --quiet factorial 5 -o "$dir/missing/x.txt" 2>&1)
rc=$?
[[ $rc -eq 1 && "$err" == "Soubor $dir/missing/x.txt nelze uložit !!!" ]] ||
    fail "missing folder: rc=$rc [$err]"

# A target that cannot be replaced keeps its content (a directory in the file's place).
mkdir "$dir/taken"
err=$("$cli" --quiet factorial 5 -o "$dir/taken" 2>&1)
rc=$?
[[ $rc -eq 1 && "$err" == "Soubor $dir/taken nelze uložit !!!" ]] || fail "directory target: rc=$rc [$err]"

leftovers=$(cd "$dir" && ls -A | grep -v -x -e expected -e '.*\.txt' -e taken -e missing)
[[ -z "$leftovers" ]] || fail "files left behind: $leftovers"

# A text of many digits shows how much of it is written, up to all of it, after the run's end;
# without --progress nothing.
"$cli" --progress factorial 200000 -o "$dir/shares.txt" 2>"$dir/shares.err" || fail "shares exit $?"
shares=$(tr '\r' '\n' <"$dir/shares.err" | grep -c '^Zapisuji výsledek  [0-9]* %  uplynulo ')
[[ $shares -ge 10 && "$(tr '\r' '\n' <"$dir/shares.err" | grep -v '^$' | tail -1)" == "Zapisuji výsledek  100 %  uplynulo "* &&
    "$(tr '\r' '\n' <"$dir/shares.err")" == *"Výpočet ukončen"*"Zapisuji výsledek  "* ]] ||
    fail "output shares: $shares lines, [$(tail -c 300 "$dir/shares.err")]"
"$cli" --quiet factorial 200000 -o "$dir/quiet.txt" 2>"$dir/quiet.err" || fail "quiet exit $?"
[[ ! -s "$dir/quiet.err" ]] || fail "--quiet wrote [$(cat "$dir/quiet.err")]"
cmp -s "$dir/shares.txt" "$dir/quiet.txt" || fail "the text differs with --progress"
rm -f "$dir/shares.err" "$dir/quiet.err"

# A long power is computed only when its digits are wanted: its squarings move the share
# from the start of the writing instead of leaving it at one figure until the text begins.
"$cli" --progress power 7 3000000 -o "$dir/power.txt" 2>"$dir/power.err" || fail "power exit $?"
early=$(tr '\r' '\n' <"$dir/power.err" | sed -n 's/^Zapisuji výsledek  \([0-9]*\) %.*/\1/p' |
    awk '$1 > 0 && $1 < 30' | sort -u | wc -l)
[[ $early -ge 5 ]] || fail "power shares: $early below 30 %, [$(tail -c 300 "$dir/power.err")]"
rm -f "$dir/power.err"

# Writing into a full device is an error, not a success.
if [[ -w /dev/full ]]; then
    "$cli" --quiet factorial 100 >/dev/full 2>/dev/null
    rc=$?
    [[ $rc -eq 1 ]] || fail "standard output on /dev/full: rc=$rc"
fi

exit $((failures > 0))

#!/bin/bash
# Results of the four calculations on standard output (a pipe: no newline is added).
cli="$1"
failures=0

# expect EXPECTED_OUTPUT ARGS...
expect() {
    local expected="$1"
    shift
    local out rc
    out=$("$cli" --quiet "$@"; echo "|rc=$?")
    if [[ "$out" != "$expected|rc=0" ]]; then
        echo "FAIL: $* -> [$out], expected [$expected|rc=0]"
        failures=$((failures + 1))
    fi
}

expect 1267650600228229401496703205376 power 2 100
expect 1267650600228229401496703205376 mocniny '$2' 0x64
expect 15511210043330985984000000 factorial 25
expect 15511210043330985984000000 faktorial "  25"
expect 60 variations 3 5
expect 60 variace 3 5
expect 100891344545564193334812497256 combinations 50 100
expect 100891344545564193334812497256 kombinace 50 100
expect 1 factorial 0
expect 1 combinations 0 0
expect 0 power 0 5
expect 1 power 7 0
# Base 10 has limbs of 7 digits; base 10000 keeps those of 4.
expect "1000000 x 10^14" power 10 20
expect "100000000000000000000" power 10 20 --no-trim
expect "1000000" power 10 6
expect "1 x 10^20" power 10000 5
expect "1 x 10^8" power 10000 2
expect "10000" power 10000 1
# The digit count is a line of its own.
expect $'2568\n' factorial 1000 --digits
expect $'2568\n' factorial 1000 --digits --no-trim
expect $'21\n' power 10 20 --digits
expect $'301030\n' power 2 1000000 --digits
expect 3628800 factorial 10
expect 30240 variations 5 10
expect 252 combinations 5 10

# 1000! against an independent multiplication in bc.
if command -v bc >/dev/null; then
    reference=$(echo 'r=1; for (i=2; i<=1000; i++) r*=i; r' | BC_LINE_LENGTH=0 bc)
    expect "$reference" factorial 1000 --no-trim
    reference=$(echo '3^20000' | BC_LINE_LENGTH=0 bc)
    expect "$reference" power 3 20000
fi

# On a terminal a newline follows the result (the terminal shows it as CR LF).
if command -v script >/dev/null; then
    out=$(script -qc "'$cli' --quiet factorial 5" /dev/null | od -An -c | tr -s ' ')
    if [[ "$out" != " 1 2 0 \r \n" ]]; then
        echo "FAIL: terminal output [$out]"
        failures=$((failures + 1))
    fi
fi

# The progress line goes to standard error only; at the target nothing is left to wait for.
err_file=$(mktemp)
out=$("$cli" --progress factorial 3000 --digits 2>"$err_file")
err=$(cat "$err_file")
rm -f "$err_file"
if [[ "$out" != 9131 ||
    "$err" != *"Výpočet:3000  uplynulo "*"  zbývá asi 0:00"*"Výpočet ukončen  uplynulo "* ]]; then
    echo "FAIL: --progress -> stdout [$out] stderr [$err]"
    failures=$((failures + 1))
fi

exit $((failures > 0))

#!/bin/bash
# Refused operands: exactly the calculator's message on standard error, exit code 1, no output.
cli="$1"
failures=0

# expect MESSAGE ARGS...
expect() {
    local message="$1"
    shift
    local out err rc
    err=$("$cli" --quiet "$@" 2>&1 >/tmp/cifrovar_cli_out.$$)
    rc=$?
    out=$(cat /tmp/cifrovar_cli_out.$$)
    if [[ $rc -ne 1 || "$err" != "$message" || -n "$out" ]]; then
        echo "FAIL: $* -> rc=$rc stderr=[$err] stdout=[$out], expected rc=1 stderr=[$message]"
        failures=$((failures + 1))
    fi
}

not_number="Zadání nemá číselný tvar !"
negative="Zadání nesmí být záporné !"

for operand in abc "" "1.5" "+" "-" "\$" "0x" "X" "\$1G" "5 " "1234567890" "0000000001" \
    "\$123456789" "2147483648" "12a"; do
    expect "$not_number" factorial -- "$operand"
    expect "$not_number" power 2 -- "$operand"
    expect "$not_number" combinations -- "$operand" 5
done
# The first operand is refused before the second is looked at.
expect "$not_number" variations abc 5
expect "$not_number" kombinace 3 "  7x"

expect "$negative" factorial -- -1
expect "$negative" factorial '$FFFFFFFF'
expect "$negative" power 2 -- -3
expect "$negative" variations -- -2 5

expect "0^0 nelze zadat !!!" power 0 0
expect "0^0 nelze zadat !!!" mocniny '$0' 0x0
# The message of a failed class check gets its full stop when shown.
expect "Počet prvků musí být větší než třída." variations 6 5
expect "Počet prvků musí být větší než třída." combinations 101 100

rm -f /tmp/cifrovar_cli_out.$$
exit $((failures > 0))

#!/bin/bash
# Runs whose result cannot fit into memory end at once with the memory message, not killed.
cli="$1"
failures=0
expected="Tento výpočet je již mimo možnosti paměti Vašeho počítače."
for operands in "factorial \$7FFFFFFF" "power 999999999 999999999"; do
    start=$(date +%s)
    # shellcheck disable=SC2086
    err=$(timeout 10 "$cli" $operands 2>&1 >/dev/null)
    code=$?
    took=$(($(date +%s) - start))
    if [[ $code -ne 1 || "$err" != "$expected" ]]; then
        echo "FAIL: $operands: exit $code after ${took}s, '$err'"
        failures=$((failures + 1))
    fi
done
exit $((failures > 0))

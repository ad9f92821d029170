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
# The environment's limit counts when no --memory-limit is given; the option overrides it.
err=$(CIFROVAR_MEMORY_LIMIT=1M "$cli" factorial 100000 --digits 2>&1 >/dev/null)
if [[ "$err" != "$expected" ]]; then
    echo "FAIL: CIFROVAR_MEMORY_LIMIT=1M was not applied: '$err'"
    failures=$((failures + 1))
fi
digits=$(CIFROVAR_MEMORY_LIMIT=1M "$cli" factorial 100000 --digits --memory-limit 1G 2>/dev/null)
if [[ "$digits" != "456574" ]]; then
    echo "FAIL: --memory-limit did not override the environment: '$digits'"
    failures=$((failures + 1))
fi
exit $((failures > 0))

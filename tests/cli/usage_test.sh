#!/bin/bash
# Usage errors end with exit code 2 and no output; help ends with 0.
cli="$1"
failures=0

expect_usage() {
    local out rc
    out=$("$cli" "$@" 2>/dev/null)
    rc=$?
    if [[ $rc -ne 2 || -n "$out" ]]; then
        echo "FAIL: $* -> rc=$rc stdout=[$out], expected a usage error"
        failures=$((failures + 1))
    fi
}

expect_usage
expect_usage power
expect_usage power 2
expect_usage power 2 3 4
expect_usage factorial
expect_usage variations 3
expect_usage sum 1 2
expect_usage factorial 5 --wrap 0
expect_usage factorial 5 --wrap 513
expect_usage factorial 5 --wrap abc
expect_usage factorial 5 --digits -o out.txt
expect_usage factorial 5 --digits --header
expect_usage factorial 5 --progress --quiet
expect_usage factorial 5 --bogus
expect_usage factorial 5 -o

for args in "--help:--wrap" "-h:--wrap" "power --help:EXPONENT" "kombinace -h:K N"; do
    # shellcheck disable=SC2086
    out=$("$cli" ${args%%:*})
    rc=$?
    if [[ $rc -ne 0 || "$out" != *"${args#*:}"* ]]; then
        echo "FAIL: $args -> rc=$rc"
        failures=$((failures + 1))
    fi
done
help=$("$cli" --help)
for word in power mocniny factorial faktorial variations variace combinations kombinace \
    --output --header --no-trim --digits --progress --quiet; do
    [[ "$help" == *"$word"* ]] || {
        echo "FAIL: --help does not mention $word"
        failures=$((failures + 1))
    }
done

exit $((failures > 0))

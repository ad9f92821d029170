#!/bin/bash
# Runs whose result cannot fit into memory end at once with the memory message, not killed.
cli="$1"
failures=0
expected="Tento výpočet je již mimo možnosti paměti Vašeho počítače."
# The message, then a line of what the run would need.
first_line() { printf '%s' "${1%%$'\n'*}"; }
second_line() { local rest="${1#*$'\n'}"; printf '%s' "${rest%%$'\n'*}"; }
# Results of billions of digits are reckoned by their memory: beyond the limit given they are
# refused at once with what they would need, whatever their limbs number.
while IFS='|' read -r operands; do
    start=$(date +%s)
    # shellcheck disable=SC2086
    err=$(timeout 10 "$cli" --memory-limit 8G $operands 2>&1 >/dev/null)
    code=$?
    took=$(($(date +%s) - start))
    needs=$(second_line "$err")
    mib=$(sed -n 's/^Výpočet potřebuje odhadem \([0-9]*\) MiB paměti, k dispozici je 8192 MiB\.$/\1/p' <<<"$needs")
    if [[ $code -ne 1 || "$(first_line "$err")" != "$expected" || -z "$mib" || "$mib" -le 8192 ]]; then
        echo "FAIL: $operands: exit $code after ${took}s, '$err'"
        failures=$((failures + 1))
    fi
done <<'ROWS'
factorial $7FFFFFFF
power 999999999 999999999
ROWS
# The environment's limit counts when no --memory-limit is given; the option overrides it.
err=$(CIFROVAR_MEMORY_LIMIT=1M "$cli" factorial 100000 --digits 2>&1 >/dev/null)
if [[ "$(first_line "$err")" != "$expected" ||
    ! "$(second_line "$err")" =~ ^Výpočet\ potřebuje\ odhadem\ [0-9]+\ MiB\ paměti,\ k\ dispozici\ je\ 1\ MiB\.$ ]]; then
    echo "FAIL: CIFROVAR_MEMORY_LIMIT=1M was not applied: '$err'"
    failures=$((failures + 1))
fi
digits=$(CIFROVAR_MEMORY_LIMIT=1M "$cli" factorial 100000 --digits --memory-limit 1G 2>/dev/null)
if [[ "$digits" != "456574" ]]; then
    echo "FAIL: --memory-limit did not override the environment: '$digits'"
    failures=$((failures + 1))
fi

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# A build with AddressSanitizer reserves terabytes of address space for its shadow memory and
# cannot start under an address-space limit at all.
if ldd "$cli" | grep -q libasan; then
    echo "SKIP: the address-space limits under AddressSanitizer"
    limited=false
else
    limited=true
fi

# Under an address-space limit the guard refuses up front what cannot fit, and --save keeps
# the calculation.
if $limited; then
    err=$( (ulimit -v 307200 && exec timeout 10 "$cli" --quiet factorial 20000000 --save "$dir/as.cfr") 2>&1 >/dev/null)
    code=$?
    [[ $code -eq 1 && "$(first_line "$err")" == "$expected" ]] || fail "ulimit -v: exit $code, '$err'"
    [[ -s "$dir/as.cfr" ]] || fail "ulimit -v: --save wrote nothing"

    # Past the guard, a run whose allocations fail (GMP's and the transforms') ends with the step
    # its limbs hold, saved; it is never aborted.
    err=$( (ulimit -v 102400 && exec timeout 30 "$cli" --quiet --memory-limit 1024G factorial 10000000 \
        --digits --save "$dir/oom.cfr") 2>&1 >/dev/null)
    code=$?
    if [[ $code -eq 1 ]]; then
        [[ "$(first_line "$err")" == "$expected" ]] || fail "allocation failure: '$err'"
        header=$("$cli" open "$dir/oom.cfr" --header | head -1 | iconv -f cp1250 -t utf-8)
        reached=${header//[^0-9]/}
        if [[ -z "$reached" ]]; then
            fail "allocation failure: no calculation saved ('$header')"
        elif [[ $("$cli" open "$dir/oom.cfr" --digits) != $("$cli" factorial "$reached" --digits) ]]; then
            fail "allocation failure: the saved limbs are not $reached!"
        fi
    elif [[ $code -ne 0 ]]; then
        fail "allocation failure: exit $code, '$err'"
    fi

    # After the run, a power's value is computed only when it is read; when that fails for
    # memory, --save keeps the step the limbs hold and the run ends with the memory message.
    err=$( (ulimit -v 102400 && exec timeout 10 "$cli" --quiet --memory-limit 1024G power 3 100000000 \
        --digits --save "$dir/held.cfr") 2>&1 >/dev/null)
    code=$?
    [[ $code -eq 1 && "$(first_line "$err")" == "$expected" ]] || fail "held value: exit $code, '$err'"
    header=$("$cli" open "$dir/held.cfr" --header 2>/dev/null | head -1 | iconv -f cp1250 -t utf-8 | tr -d "\r")
    kept=${header##*^ }
    if [[ ! "$kept" =~ ^[0-9]+$ ]]; then
        fail "held value: no calculation saved ('$header')"
    elif [[ $("$cli" open "$dir/held.cfr" --digits) != $("$cli" power 3 "$kept" --digits) ]]; then
        fail "held value: the saved limbs are not 3^$kept"
    fi
fi

# A sparse file claiming far more limbs than the limit allows is refused before they are had.
printf '\x02\xca\x9a\x3b\x05\x00\x00\x00\xfc\xff\xff\x1f' >"$dir/sparse.cfr"
truncate -s 2G "$dir/sparse.cfr"
err=$(timeout 10 "$cli" --memory-limit 100M open "$dir/sparse.cfr" --digits 2>&1 >/dev/null)
code=$?
[[ $code -eq 1 && "$err" == "Data nelze načíst !" ]] || fail "sparse file: exit $code, '$err'"
exit $((failures > 0))

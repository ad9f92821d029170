#!/bin/bash
# Usage errors end with exit code 2 and no output; help ends with 0. The accepted forms of
# --backup-every and --memory-limit run.
cli="$1"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
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
expect_usage open
expect_usage open a.cfr b.cfr
expect_usage open a.cfr --to
expect_usage factorial 5 --to 6
for interval in 0 999 1001 10 abc 1000000000 -1000; do
    expect_usage factorial 5 --backup-every "$interval"
done
for bytes in "" abc 1X 1KB 1k 1.5G -5 " 5" K 9223372036854775808 8589934592G; do
    expect_usage factorial 5 --memory-limit "$bytes"
done
expect_usage factorial 5 --workdir /nonexistent/folder
expect_usage factorial 5 --workdir "$0"
expect_usage factorial 5 --save

# An empty file name is refused like any other malformed value, not taken as "no file": exit 2,
# nothing on standard output, no file, and the report names the option.
expect_empty_path() {
    local option="$1" out err rc
    shift
    out=$(cd "$dir" && "$cli" --quiet "$@" 2>"$dir/err")
    rc=$?
    err=$(<"$dir/err")
    if [[ $rc -ne 2 || -n "$out" || "$err" != "cifrovar-cli: "*"$option"*"Run with --help"* ]]; then
        echo "FAIL: $* -> rc=$rc stdout=[$out] stderr=[$err], expected a usage error of $option"
        failures=$((failures + 1))
    fi
}
"$cli" --quiet factorial 5 --save "$dir/f5.cfr" >/dev/null
expect_empty_path --save factorial 5 --save ""
expect_empty_path --save factorial 5 --save=
expect_empty_path --save open f5.cfr --save ""
expect_empty_path --save open f5.cfr --to 6 --save ""
expect_empty_path --output factorial 5 -o ""
expect_empty_path --output factorial 5 --output=
expect_empty_path --output open f5.cfr -o ""
expect_empty_path --output open f5.cfr --to 6 --output ""
if [[ -n "$(ls -A "$dir" | grep -v -x -e err -e f5.cfr)" ]]; then
    echo "FAIL: a refused empty file name left files: $(ls -A "$dir")"
    failures=$((failures + 1))
fi

for args in "--help:--wrap" "-h:--wrap" "power --help:EXPONENT" "kombinace -h:K N" \
    "open --help:--to"; do
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
    open otevri --output --header --no-trim --digits --progress --quiet --save --backup-every \
    --workdir --log --memory-limit uplynulo "zbývá asi"; do
    [[ "$help" == *"$word"* ]] || {
        echo "FAIL: --help does not mention $word"
        failures=$((failures + 1))
    }
done

# --version reports the version the build gives the project, alone or after a subcommand.
version=$(sed -n 's/^project(cifrovar VERSION \([0-9.]*\).*/\1/p' "$(dirname "$0")/../../CMakeLists.txt")
for args in "--version" "factorial 5 --version"; do
    # shellcheck disable=SC2086
    out=$("$cli" $args 2>&1)
    rc=$?
    if [[ $rc -ne 0 || -z "$version" || "$out" != "cifrovar-cli $version" ]]; then
        echo "FAIL: $args -> rc=$rc output=[$out], expected cifrovar-cli $version"
        failures=$((failures + 1))
    fi
done

for args in "--backup-every 1000" "--backup-every 1000000" "--memory-limit 123456" \
    "--memory-limit 64K" "--memory-limit 64M" "--memory-limit 2G" "--memory-limit 8589934591G"; do
    # shellcheck disable=SC2086
    out=$("$cli" --quiet $args factorial 5 --workdir "$dir")
    rc=$?
    if [[ $rc -ne 0 || "$out" != 120 ]]; then
        echo "FAIL: $args -> rc=$rc stdout=[$out]"
        failures=$((failures + 1))
    fi
done

exit $((failures > 0))

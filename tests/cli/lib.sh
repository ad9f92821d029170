# shellcheck shell=bash
# Shared by the command-line tests, each run as `bash TEST path/to/cifrovar-cli`: the tool's
# path, a scratch folder removed at exit, and a failure count that becomes the exit code.
cli="$1"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# Waits for pid at most $2 seconds; sets rc to its exit code, or "timeout" after killing it.
wait_for() {
    local pid=$1 limit=$(($2 * 20)) i
    for ((i = 0; i < limit; i++)); do
        if ! kill -0 "$pid" 2>/dev/null; then
            wait "$pid"
            rc=$?
            return
        fi
        sleep 0.05
    done
    kill -KILL "$pid"
    wait "$pid" 2>/dev/null
    rc=timeout
}

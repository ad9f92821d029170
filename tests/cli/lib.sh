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

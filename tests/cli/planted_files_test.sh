#!/bin/bash
# Backups in a shared working directory where links, FIFOs and another user's files lie at their
# names, and a writable file in a folder that takes no new file.
# shellcheck source=tests/cli/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

# run ARGS...: the tool, ended after 20 s so that a blocked open is a failure, not a hang.
run() {
    timeout 20 "$cli" --quiet "$@" >"$dir/out" 2>"$dir/err"
}

# As root the other user is `tester` (or `nobody`); an ordinary user's run skips those cases.
other=""
if [[ $(id -u) -eq 0 ]]; then
    for name in tester nobody; do
        if id "$name" >/dev/null 2>&1; then
            other=$name
            break
        fi
    done
fi
as_other() { runuser -u "$other" -- "$@"; }

victim_text='the victim'\''s own file'
fresh_workdir() {
    rm -rf "$dir/work"
    mkdir -m 1777 "$dir/work"
    printf '%s' "$victim_text" >"$dir/victim"
}
victim_kept() {
    cmp -s "$dir/victim" <(printf '%s' "$victim_text") || fail "$1: the linked file was written"
}

"$cli" --quiet factorial 1000 >"$dir/1000"

# A link at a backup's name is replaced itself; the file it pointed at stays as it was.
fresh_workdir
ln -s "$dir/victim" "$dir/work/zal1f.cfr"
run --backup-every 1000 --workdir "$dir/work" factorial 2500 --digits || fail "link: exit $?"
victim_kept "a link at the backup's name"
[[ -f "$dir/work/zal1f.cfr" && ! -L "$dir/work/zal1f.cfr" ]] || fail "the link was not replaced"
run open "$dir/work/zal1f.cfr" && cmp -s "$dir/out" "$dir/1000" || fail "zal1f.cfr is not 1000!"

# A FIFO at a backup's name: the backups are skipped, the run ends and --save is written.
fresh_workdir
mkfifo "$dir/work/zal1f.cfr"
run --backup-every 1000 --workdir "$dir/work" factorial 2500 --digits --save "$dir/f.cfr"
rc=$?
[[ $rc -eq 0 && -p "$dir/work/zal1f.cfr" && -s "$dir/f.cfr" ]] || fail "FIFO as a backup: rc=$rc"

if [[ -n "$other" ]]; then
    chmod 755 "$dir"
    # Another user's link, or another user's file, at the backup's name is left alone.
    fresh_workdir
    as_other ln -s "$dir/victim" "$dir/work/zal1f.cfr"
    run --backup-every 1000 --workdir "$dir/work" factorial 2500 --digits ||
        fail "another user's link: exit $?"
    victim_kept "another user's link at the backup's name"
    [[ -L "$dir/work/zal1f.cfr" ]] || fail "another user's link was replaced"
    fresh_workdir
    as_other sh -c "printf theirs >'$dir/work/zal1f.cfr'"
    run --backup-every 1000 --workdir "$dir/work" factorial 2500 --digits ||
        fail "another user's file: exit $?"
    [[ "$(cat "$dir/work/zal1f.cfr")" == theirs ]] || fail "another user's file was replaced"

    # The user's writable file in a folder he cannot add to is written in place.
    mkdir "$dir/ro"
    chown "$other" "$dir/ro"
    as_other sh -c "printf 'old text, longer than 120' >'$dir/ro/r.txt' &&
        '$cli' --quiet factorial 5 --save '$dir/ro/f.cfr' >/dev/null && chmod 555 '$dir/ro'"
    as_other "$cli" --quiet factorial 5 -o "$dir/ro/r.txt" || fail "-o in a read-only folder"
    as_other "$cli" --quiet factorial 6 --save "$dir/ro/f.cfr" >/dev/null ||
        fail "--save in a read-only folder"
    [[ "$(cat "$dir/ro/r.txt")" == 120 ]] || fail "r.txt: $(cat "$dir/ro/r.txt")"
    run open "$dir/ro/f.cfr" && [[ "$(cat "$dir/out")" == 720 ]] || fail "f.cfr is not 6!"
    [[ "$(ls -A "$dir/ro" | tr '\n' ' ')" == "f.cfr r.txt " ]] || fail "ro: $(ls -A "$dir/ro")"
fi

exit $((failures > 0))

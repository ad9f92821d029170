#!/bin/bash
# The bash completion offers what a user expects at each place of a command line, with and
# without bash-completion loaded, and knows every command and option the tool's help lists.
# shellcheck source=tests/cli/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
completion=$(realpath "$(dirname "${BASH_SOURCE[0]}")/../../resources/completion/cifrovar-cli")
bash_completion=/usr/share/bash-completion/bash_completion
cli=$(realpath "$cli")
mkdir "$dir/sub" && touch "$dir/a.cfr" "$dir/b.exk" "$dir/c.txt" && cd "$dir" || exit 1

# Prints the sorted completions of LINE, split into words as bash splits them ("=" apart).
complete_line() {
    local line="$1"
    read -ra COMP_WORDS <<<"${line//=/ = }"
    [[ $line == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE=$line
    COMP_POINT=${#line}
    COMPREPLY=()
    _cifrovar_cli
    printf '%s\n' "${COMPREPLY[@]}" | sort | paste -s -d ' '
}

# LINE|EXPECTED: the completions of LINE, sorted and separated by spaces.
cases=(
    "cifrovar-cli fa|factorial faktorial"
    "cifrovar-cli --quiet o|open otevri"
    "cifrovar-cli -o c.txt k|kombinace"
    "cifrovar-cli --vers|--version"
    "cifrovar-cli factorial 5 --back|--backup-every"
    "cifrovar-cli variace 3 10 --no|--no-trim"
    "cifrovar-cli factorial 5 --backup-every |1000 10000 100000 1000000"
    "cifrovar-cli factorial 5 --backup-every=100000|100000 1000000"
    "cifrovar-cli factorial 5 |"
    "cifrovar-cli factorial 5 --t|"
    "cifrovar-cli factorial 5 --wrap |"
    "cifrovar-cli factorial 5 --memory-limit |"
    "cifrovar-cli open |a.cfr b.exk sub"
    "cifrovar-cli --save x.cfr otevri |a.cfr b.exk sub"
    "cifrovar-cli open a.cfr |"
    "cifrovar-cli open a.cfr --t|--to"
    "cifrovar-cli open a.cfr --to |"
    "cifrovar-cli factorial 5 -o |a.cfr b.exk c.txt sub"
    "cifrovar-cli factorial 5 --save=|a.cfr b.exk c.txt sub"
    "cifrovar-cli factorial 5 --workdir |sub"
)

check_cases() {
    local entry got
    for entry in "${cases[@]}"; do
        got=$(complete_line "${entry%%|*}")
        [[ $got == "${entry#*|}" ]] || fail "$1: '${entry%%|*}' -> [$got], expected [${entry#*|}]"
    done
}

# The first column of the help's "Options:" (each name of "-o,--output") or "Subcommands:".
help_column() {
    awk -F '  +' -v section="$1" '$0 == section ":" { on = 1; next } /^[^ ]/ { on = 0 }
        on && /^  [^ ]/ { gsub(/, +/, ",", $2); split($2, first, " "); gsub(/,/, "\n", first[1])
                          print first[1] }'
}

# Each command and option of the help is offered where it may stand (--version too, which the
# help may not list), and no other option is.
check_help() {
    local name option offered listed commands top
    commands=$("$cli" --help | help_column Subcommands)
    top=$("$cli" --help | help_column Options | paste -s -d ' ')
    offered=" $(complete_line "cifrovar-cli ") "
    for name in $commands; do
        [[ $offered == *" $name "* ]] || fail "$1: the command $name is not completed"
    done
    for name in "" $commands; do
        listed=" $top ${name:+$("$cli" "$name" --help | help_column Options | paste -s -d ' ')} --version "
        offered=" $(complete_line "cifrovar-cli ${name:+$name }-") "
        for option in $listed; do
            [[ $offered == *" $option "* ]] || fail "$1: $option is not completed after '$name'"
        done
        for option in $offered; do
            [[ $listed == *" $option "* ]] || fail "$1: $option is completed after '$name' unlisted"
        done
    done
}

# Without bash-completion the plain fallback answers; then the same through _init_completion.
(
    # shellcheck source=resources/completion/cifrovar-cli
    source "$completion"
    check_cases "without bash-completion"
    check_help "without bash-completion"
    exit $((failures > 0))
) || failures=$((failures + 1))
if [[ -r $bash_completion ]]; then
    (
        # shellcheck source=/dev/null
        source "$bash_completion"
        # shellcheck source=resources/completion/cifrovar-cli
        source "$completion"
        check_cases "with bash-completion"
        check_help "with bash-completion"
        exit $((failures > 0))
    ) || failures=$((failures + 1))
fi

exit $((failures > 0))

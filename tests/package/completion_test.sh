#!/usr/bin/env bash
# The shell completions of tressel offer what the tool offers: bash is asked for the
# completions of command lines (commands, every option of each 'tressel COMMAND
# --help', column numbers, folders, names in the folder); the zsh function must be
# valid zsh and name every command and option of the help texts.
#   completion_test.sh TRESSEL BASH_COMPLETION ZSH_COMPLETION
set -uo pipefail
tressel=$(realpath "$1") bash_completion=$(realpath "$2") zsh_completion=$(realpath "$3")
failures=0
# shellcheck source=help_text.sh
source "$(dirname "$0")/help_text.sh"

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

long_options_of() {
    options_of | grep -- '^--'
}

# The completions bash offers for the words given; the last word is the one completed.
complete_line() {
    (
        # shellcheck disable=SC1090
        source "$bash_completion"
        COMP_WORDS=(tressel "$@")
        COMP_CWORD=$#
        _tressel
        [ ${#COMPREPLY[@]} -eq 0 ] || printf "%s\n" "${COMPREPLY[@]}" | sort
    )
}

expect() { # DESCRIPTION EXPECTED -- WORDS...
    local what=$1 expected=$2
    shift 3
    local got
    got=$(complete_line "$@" | tr '\n' ' ')
    [ "$got" = "$expected" ] || fail "$what: '$*' offers '$got', expected '$expected'"
}

offers_all() { # DESCRIPTION WANTED -- WORDS...
    local what=$1 wanted=$2 got item
    shift 3
    got=" $(complete_line "$@" | tr '\n' ' ')"
    for item in $wanted; do
        [[ $got == *" $item "* ]] || fail "$what: '$*' does not offer $item (offers$got)"
    done
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/sat/incoming" "$work/sat/empty"
touch "$work/-x" "$work/sat/0A1B.exe" "$work/sat/incoming/7F00A1.bin" "$work/sat/incoming/7F00A2.bin"
cd "$work" || exit 1

top_help=$("$tressel" --help)
commands=$(commands_of <<<"$top_help")
[ -n "$commands" ] || fail "no commands found in 'tressel --help'"
offers_all "commands" "$commands" -- ""
offers_all "general options" "$(long_options_of <<<"$top_help")" -- "-"
for command in $commands; do
    options=$("$tressel" "$command" --help | long_options_of)
    [ -n "$options" ] || fail "no options found in 'tressel $command --help'"
    offers_all "options of $command" "$options" -- "$command" "--"
done

digits="1 2 3 4 5 6 7 8 9 "
expect "column numbers" "$digits" -- rename --column ""
expect "column number after =" "--column=1 --column=2 --column=3 --column=4 --column=5 --column=6 --column=7 --column=8 --column=9 " -- rename --column=
expect "folder of rename" "sat/empty sat/incoming " -- rename --column 3 sat/
expect "folder of rename after options" "sat/incoming " -- rename --dry-run --column 3 --append sat/i
expect "names in the folder" "7F00A1.bin 7F00A2.bin " -- rename --column 3 sat/incoming 7F
expect "names after a name" "7F00A2.bin " -- rename --append --column=2 sat/incoming 7F00A1.bin 7F00A2
expect "folder of undo" "sat/empty sat/incoming " -- undo --dry-run sat/
expect "one folder for undo" "" -- undo sat/incoming ""
expect "files and folders for info" "sat/0A1B.exe sat/empty sat/incoming " -- info --json sat/
expect "operands after --" "-x " -- info -- -

if command -v zsh >/dev/null; then
    zsh -n "$zsh_completion" || fail "$zsh_completion is not valid zsh"
    for command in $commands; do
        grep -q "^ *'$command:" "$zsh_completion" || fail "zsh completion lacks command $command"
        for option in $("$tressel" "$command" --help | long_options_of); do
            grep -qE "'$option=?\[" "$zsh_completion" || [ "$option" = --help ] ||
                fail "zsh completion lacks option $option of $command"
        done
    done
else
    fail "zsh is not installed (scripts/install-deps installs it)"
fi

[ $failures -eq 0 ] && echo "completions offer every command and option"
exit $((failures > 0))

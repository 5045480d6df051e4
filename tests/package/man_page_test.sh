#!/usr/bin/env bash
# The manual page documents what the tool offers: every command of 'tressel --help'
# has a sub-section under COMMANDS, and every option of 'tressel --help' and of each
# 'tressel COMMAND --help' is a defined term (bold, followed by its description) in
# that command's sub-section or among the general OPTIONS. The lists come from the
# help texts, so a new option without a manual entry fails here.
#   man_page_test.sh TRESSEL PAGE.1
set -uo pipefail
tressel=$1 page=$2
failures=0
# shellcheck source=help_text.sh
source "$(dirname "$0")/help_text.sh"

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# The terms defined in a .SH section, or in one .SS sub-section of it: the lines
# followed by an indented block (.RS).
section_terms() {
    awk -v sh="$1" -v ss="${2:-}" '
        /^\.SH / { current = $2; subsection = ""; heading = 1 }
        /^\.SS / { subsection = $2; heading = 1 }
        /^\.RS/ && current == sh && (ss == "" || subsection == ss) && !heading { print previous }
        { if (!/^\.SH |^\.SS /) heading = 0; previous = $0 }' "$page"
}

documented_in() { # TEXT OPTION
    grep -qF "\\fB$2\\fR" <<<"$1"
}

[ -s "$page" ] || { echo "FAIL: no manual page at $page"; exit 1; }
general=$(section_terms OPTIONS)
top_help=$("$tressel" --help)
mapfile -t commands < <(commands_of <<<"$top_help")
[ ${#commands[@]} -gt 0 ] || fail "no commands found in 'tressel --help'"

for option in $(options_of <<<"$top_help"); do
    documented_in "$general" "$option" || fail "option $option of 'tressel --help' not under OPTIONS"
done
for command in "${commands[@]}"; do
    grep -qx "\.SS $command" "$page" || { fail "command $command has no sub-section"; continue; }
    text=$(section_terms COMMANDS "$command")
    mapfile -t options < <("$tressel" "$command" --help | options_of)
    [ ${#options[@]} -gt 0 ] || fail "no options found in 'tressel $command --help'"
    for option in "${options[@]}"; do
        documented_in "$text" "$option" || documented_in "$general" "$option" ||
            fail "option $option of 'tressel $command --help' not in the manual page"
    done
done

[ $failures -eq 0 ] && echo "manual page covers ${#commands[@]} commands and their options"
exit $((failures > 0))

# What the help texts of tressel list, read from standard input; sourced by the tests
# that hold the manual page and the completions to them.

# The "Commands:" block: "  info      print ..." gives info.
commands_of() {
    awk '/^Commands:/ { on = 1; next } on && /^$/ { exit }
         on && /^  [a-z][a-z-]*( |$)/ { print $1 }'
}

# The "Options:" block: "  -h, --help  text" and "  --column N  text" give -h,
# --help and --column.
options_of() {
    awk '/^Options:/ { on = 1; next }
         on && /^$/ { exit }
         on && /^  -/ {
             sub(/^  /, ""); split($0, parts, /  +/)
             n = split(parts[1], names, /, /)
             for (i = 1; i <= n; i++) { split(names[i], words, / /); print words[1] }
         }'
}

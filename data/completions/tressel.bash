# bash completion for tressel: commands, their options, column numbers and folders.

_tressel_command_options() {
    case $1 in
    info) echo "--scan-all --json --why --jobs --help" ;;
    rename) echo "--column --append --fix-ext --dry-run --scan-all --help" ;;
    fixext) echo "--dry-run --help" ;;
    dups) echo "--dry-run --help" ;;
    group) echo "--by --dry-run --scan-all --help" ;;
    setext) echo "--dry-run --help" ;;
    undo) echo "--list --dry-run --help" ;;
    esac
}

# Offers the entries of folder $1 that begin with $2, relative to that folder.
_tressel_names_in() {
    local folder=${1%/} cur=$2 entry
    folder=${folder:-.}
    folder=${folder/#\~/$HOME}
    while IFS= read -r entry; do
        [[ -n $entry ]] && COMPREPLY+=("${entry#"$folder"/}")
    done < <(compgen -f -- "$folder/$cur")
}

_tressel() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    local command="" i word optionsDone="" operands=()
    COMPREPLY=()

    # The command is the first word that is not an option; after it, the operands.
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        if [[ -z $command ]]; then
            [[ $word != -* ]] && command=$word
        elif [[ -z $optionsDone && $word == -- ]]; then
            optionsDone=1
        elif [[ -z $optionsDone && $word == -* ]]; then
            :
        elif [[ -z $optionsDone && $command == rename && ${COMP_WORDS[i - 1]} == --column ]]; then
            : # the column number
        elif [[ -z $optionsDone && $command == group && ${COMP_WORDS[i - 1]} == --by ]]; then
            : # what to group by
        elif [[ $command == group && (${COMP_WORDS[i - 1]} == --by=column ||
            (${COMP_WORDS[i - 1]} == column && ${COMP_WORDS[i - 2]} == --by)) ]]; then
            : # the column number after --by column
        else
            operands+=("$word")
        fi
    done

    if [[ -z $command ]]; then
        if [[ $cur == -* ]]; then
            mapfile -t COMPREPLY < <(compgen -W "--help --version" -- "$cur")
        else
            mapfile -t COMPREPLY < <(compgen -W "info rename fixext dups group setext undo help" -- "$cur")
        fi
        return
    fi

    if [[ $command == rename && -z $optionsDone ]]; then
        if [[ $prev == --column ]]; then
            mapfile -t COMPREPLY < <(compgen -W "1 2 3 4 5 6 7 8 9" -- "$cur")
            return
        fi
        if [[ $cur == --column=* ]]; then
            mapfile -t COMPREPLY < <(compgen -P --column= -W "1 2 3 4 5 6 7 8 9" -- "${cur#--column=}")
            return
        fi
    fi
    if [[ $command == info && -z $optionsDone && $prev == --jobs ]]; then
        return # the number of files read at a time
    fi
    if [[ $command == group && -z $optionsDone ]]; then
        if [[ $prev == --by ]]; then
            mapfile -t COMPREPLY < <(compgen -W "type ext column" -- "$cur")
            return
        fi
        if [[ $cur == --by=* ]]; then
            mapfile -t COMPREPLY < <(compgen -P --by= -W "type ext column" -- "${cur#--by=}")
            return
        fi
    fi
    if [[ $command == group && ($prev == --by=column ||
        ($prev == column && ${COMP_WORDS[COMP_CWORD - 2]} == --by)) ]]; then
        mapfile -t COMPREPLY < <(compgen -W "1 2 3 4 5 6 7 8 9" -- "$cur")
        return
    fi
    if [[ -z $optionsDone && $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$(_tressel_command_options "$command")" -- "$cur")
        return
    fi

    compopt -o filenames 2>/dev/null
    case $command in
    info) mapfile -t COMPREPLY < <(compgen -f -- "$cur") ;;
    rename | fixext)
        if ((${#operands[@]} == 0)); then
            mapfile -t COMPREPLY < <(compgen -d -- "$cur")
        else
            _tressel_names_in "${operands[0]}" "$cur"
        fi
        ;;
    dups | group | undo) ((${#operands[@]} == 0)) && mapfile -t COMPREPLY < <(compgen -d -- "$cur") ;;
    setext) ((${#operands[@]} == 2)) && mapfile -t COMPREPLY < <(compgen -d -- "$cur") ;;
    esac
}

complete -F _tressel tressel

# bash completion for quorvel-cli: verbs, each verb's options (read from
# its --help, so that they never fall behind the tool), file and folder
# names for sources, and the table names of the source already typed
# (from "quorvel-cli tables SOURCE").

_quorvel_cli_options() {
    # "  -z, --null ..." and "      --report FILE ...": the long names, and
    # which of them take a value (a word in capitals after the name).
    "$1" help "$2" 2>/dev/null | sed -n 's/^ *\(-[^ ,]*, \)\{0,1\}\(--[a-z][a-z-]*\)\( [A-Z][A-Z]*\)\{0,1\}.*/\2\3/p' | sort -u
}

_quorvel_cli() {
    local cur prev tool=$1 verb="" i word
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD - 1]}
    COMPREPLY=()

    if [[ $COMP_CWORD -eq 1 ]]; then
        COMPREPLY=($(compgen -W "diff merge show sql tables help --help --version" -- "$cur"))
        return
    fi
    verb=${COMP_WORDS[1]}
    if [[ $verb == help ]]; then
        [[ $COMP_CWORD -eq 2 ]] && COMPREPLY=($(compgen -W "diff merge show sql tables" -- "$cur"))
        return
    fi

    local options valued=" " line
    options=$(_quorvel_cli_options "$tool" "$verb")
    while read -r line; do
        [[ $line == *" "* ]] && valued+="${line%% *} "
    done <<<"$options"

    # The value of an option.
    if [[ $valued == *" $prev "* ]]; then
        case $prev in
            --format) COMPREPLY=($(compgen -W "text json csv" -- "$cur")) ;;
            --encoding) COMPREPLY=($(compgen -W "437 850 866 1250 1251 1252 UTF-8" -- "$cur")) ;;
            --into)
                COMPREPLY=($(compgen -d -- "$cur"))
                compopt -o filenames 2>/dev/null
                ;;
            *) COMPREPLY=($(compgen -f -- "$cur")) ;;
        esac
        return
    fi
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$(cut -d' ' -f1 <<<"$options") --help" -- "$cur"))
        return
    fi

    # The operands typed so far, options and their values left out.
    local operands=() ended=""
    for ((i = 2; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        if [[ -z $ended && $word == -- ]]; then
            ended=1
        elif [[ -z $ended && $valued == *" $word "* ]]; then
            ((i++))
        elif [[ -z $ended && $word == -?* ]]; then
            :
        else
            operands+=("$word")
        fi
    done
    local n=${#operands[@]} role
    case $verb in
        diff | merge) role=(source table source table name) ;;
        show) role=(source table) ;;
        sql) role=(source statement) ;;
        tables) role=(source) ;;
        *) return ;;
    esac
    case ${role[n]} in
        source)
            COMPREPLY=($(compgen -f -- "$cur"))
            compopt -o filenames 2>/dev/null
            ;;
        table)
            local source=${operands[n - 1]}
            source=${source/#\~/$HOME}
            local IFS=$'\n'
            COMPREPLY=($(compgen -W "$("$tool" tables -- "$source" 2>/dev/null)" -- "$cur"))
            ;;
    esac
}

complete -F _quorvel_cli quorvel-cli

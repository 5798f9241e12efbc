# bash completion for rowlark-compare: its options, the names --filter, --reader and --rules take,
# and files.

_rowlark_compare()
{
    local current=${COMP_WORDS[COMP_CWORD]}
    local previous=
    ((COMP_CWORD > 0)) && previous=${COMP_WORDS[COMP_CWORD - 1]}
    local words=
    COMPREPLY=()
    case $previous in
        --filter) words='all changed only-a only-b empty-values' ;;
        --reader) words='native library' ;;
        --rules) words='proposed' ;;
        # Sheet names, column names and search texts depend on the files: nothing to offer.
        --sheet-a | --sheet-b | --sheet | --map | --key | --exclude | --rule | --search | --column) return 0 ;;
        --report | --show-table) ;;
        *)
            if [[ $current == -* ]]; then
                words='--sheet-a --sheet-b --reader --show-table --sheet --map --key --exclude --rules
                       --rule --ignore-case --mapping --filter --search --column --report --json --help -h --version'
            fi
            ;;
    esac
    if [[ -n $words ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$words" -- "$current")
    else
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -f -- "$current")
    fi
}

complete -F _rowlark_compare rowlark-compare

# bash completion for rowlark-compare: its options, the names --filter, --reader, --rules and the
# separator options take, and files.

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
        # By name: the characters themselves would need quoting on the command line.
        --separator-a | --separator-b | --separator) words='comma semicolon tab pipe' ;;
        # Sheet names, column names and search texts depend on the files, a count on the user: nothing to offer.
        --sheet-a | --sheet-b | --sheet | --map | --key | --exclude | --rule | --search | --column | --max-differences) return 0 ;;
        --report | --show-table | --setup | --save-setup) ;;
        *)
            if [[ $current == -* ]]; then
                words='--sheet-a --sheet-b --reader --separator-a --separator-b --separator --show-table --sheet
                       --map --key --exclude --rules --rule
                       --all-sheets --ignore-case --mapping --filter --search --column --report --max-differences --setup
                       --save-setup --json --help -h --version'
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

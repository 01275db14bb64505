# bash completion for vantorel-render. The options are read from its own --help text, so
# they cannot drift from the program.
_vantorel_render()
{
    local cur prev words cword split
    _init_completion -s || return

    case $prev in
        -o | --output)
            _filedir '@(bmp|jpg|jpeg|png)'
            return
            ;;
        --project)
            _filedir LPr
            return
            ;;
        --data)
            _filedir
            return
            ;;
        --fixed)
            COMPREPLY=($(compgen -W '1 2 3 4 5 6' -- "$cur"))
            return
            ;;
        --thumbnail)
            COMPREPLY=($(compgen -W '64 128 256 512' -- "$cur"))
            return
            ;;
    esac
    # Any other option that the help shows with a value (--iterations N): nothing to offer.
    if [[ $prev == --* ]] && "$1" --help 2>/dev/null | grep -qE -- "(^|[ ,])$prev [A-Z]"; then
        return
    fi
    $split && return

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '$(_parse_help "$1")' -- "$cur"))
        [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
        return
    fi
    _filedir '@(Par|LPr|png)'
} &&
    complete -F _vantorel_render vantorel-render

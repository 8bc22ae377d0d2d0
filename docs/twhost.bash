# bash completion for twhost: options, scripts (*.tws), libraries for --register and --unregister,
# registered ProgIDs and libraries for --info, bitmaps for --bitmap.

_twhost() {
    local cur prev words cword split
    _init_completion -s || return

    case $prev in
        -e | -h | --help | --version)
            return
            ;;
        --register | --unregister)
            _filedir
            return
            ;;
        --info)
            # The registered ProgIDs: the first word of each class line of --list.
            local progids
            progids=$("$1" --list 2>/dev/null | awk 'NR > 1 { print $1 }')
            COMPREPLY=($(compgen -W "$progids" -- "$cur"))
            _filedir
            return
            ;;
        --bitmap)
            _filedir bmp
            return
            ;;
        --events)
            COMPREPLY=($(compgen -W 'stdout stderr none' -- "$cur"))
            return
            ;;
    esac
    $split && return

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '-e -k --keep-going --no-wait --headless --register --unregister --list
            --info --bitmap --events= --version -h --help' -- "$cur"))
        [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
        return
    fi
    _filedir tws
} && complete -F _twhost twhost

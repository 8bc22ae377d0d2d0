# bash completion for twhost: options, scripts (*.tws), libraries for --register and --unregister,
# registered ProgIDs and libraries for --info, bitmaps for --bitmap.

_twhost() {
    # shellcheck disable=SC2034 # words, cword: set by _init_completion, kept local
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
            # A path has a "/"; anything else names a registered ProgID (the first word of each class
            # line of --list). A ProgID is data: compared as a plain string, inserted as one quoted word,
            # and completed only after a prefix typed without quotes. Files only where no ProgID fits, as
            # compopt -o filenames would have readline quote the ProgIDs once more.
            if [[ $cur != */* && $cur != *[\\\'\"]* ]]; then
                local id quoted
                while IFS= read -r id; do
                    [[ $id == "$cur"* ]] || continue
                    printf -v quoted %q "$id"
                    COMPREPLY+=("$quoted")
                done < <("$1" --list 2>/dev/null | awk 'NR > 1 { print $1 }')
            fi
            ((${#COMPREPLY[@]})) || _filedir
            return
            ;;
        --bitmap)
            _filedir bmp
            return
            ;;
        --events)
            mapfile -t COMPREPLY < <(compgen -W 'stdout stderr none' -- "$cur")
            return
            ;;
    esac
    $split && return

    if [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W '-e -k --keep-going --no-wait --headless --register --unregister
            --list --info --bitmap --events= --version -h --help' -- "$cur")
        [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
        return
    fi
    _filedir tws
} && complete -F _twhost twhost

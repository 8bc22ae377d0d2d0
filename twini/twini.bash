# bash completion for twini: subcommands, options, files, and the file's own section and key names
# (read with twini list, which changes nothing).

_twini() {
    local cur prev words cword
    _init_completion || return

    # The words before the current one, options left out; "--" ends the options.
    local -a operands=()
    local i ended=false
    for ((i = 1; i < cword; i++)); do
        if ! $ended && [[ ${words[i]} == -- ]]; then
            ended=true
        elif $ended || [[ ${words[i]} != -* || ${words[i]} == --get || ${words[i]} == --set ||
            ${words[i]} == --del ]]; then
            operands+=("${words[i]}")
        fi
    done

    if ! $ended && [[ $cur == -* ]]; then
        local options='--existing --create --crlf --lf --help --version --'
        # After FILE, in the form of several operations.
        if ((${#operands[@]} > 0)) && [[ ${operands[0]} != @(get|list|set|del) ]]; then
            options+=' --get --set --del'
        fi
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
    fi

    local count=${#operands[@]}
    if ((count == 0)); then
        COMPREPLY=($(compgen -W 'get list set del' -- "$cur"))
        _filedir
        return
    fi

    local file section place
    if [[ ${operands[0]} == @(get|list|set|del) ]]; then
        if ((count == 1)); then
            _filedir
            return
        fi
        file=${operands[1]} place=$((count - 2))
        ((place >= 1)) && section=${operands[2]}
        # list takes a section at most.
        [[ ${operands[0]} == list ]] && ((place >= 1)) && return
    else
        # FILE --op SECTION [KEY ...]: the place within the latest operation.
        file=${operands[0]} place=-1
        for ((i = 1; i < count; i++)); do
            if [[ ${operands[i]} == --@(get|set|del) ]]; then
                place=0
            elif ((place >= 0)); then
                ((place++ == 0)) && section=${operands[i]}
            fi
        done
        ((place < 0)) && return
    fi

    # The file's names, as twini reads them; a value is not completed.
    local names
    __expand_tilde_by_ref file
    case $place in
        0) names=$(twini list -- "$file" 2>/dev/null) ;;
        1) names=$(twini list -- "$file" "$section" 2>/dev/null) ;;
        *) return ;;
    esac
    local IFS=$'\n'
    COMPREPLY=($(compgen -W "$names" -- "$cur"))
} && complete -F _twini twini

# bash completion for twini: subcommands, options, files, and the file's own section and key names
# (read with twini list, which changes nothing).
#
# The names are data from a file that anyone may have written. They are never expanded, split or
# globbed: each is compared with the typed prefix as a plain string and goes on the command line as one
# word, quoted for the place it lands in. Nothing typed on the line is evaluated either.

# The value of a word as typed, its backslashes and quotes removed, into the variable named $2, and the
# quote still open at its end (' or " or nothing) into the one named $3. Fails for a word whose value
# only an expansion could tell ($ or ` outside single quotes): that is never run.
_twini_dequote() {
    # Names of its own, so that $2 and $3 may be any of the caller's.
    local _text=$1 _value='' _open='' _c _i
    for ((_i = 0; _i < ${#_text}; _i++)); do
        _c=${_text:_i:1}
        if [[ $_open == "'" ]]; then
            [[ $_c == "'" ]] && _open='' || _value+=$_c
        elif [[ $_c == [\$\`] ]]; then
            return 1
        elif [[ $_c == \\ ]]; then
            # A backslash at the end escapes what is still to be typed.
            ((++_i < ${#_text})) || break
            _c=${_text:_i:1}
            [[ $_open == '"' && $_c != [\$\`\"\\] ]] && _value+=\\
            [[ $_c == $'\n' ]] || _value+=$_c
        elif [[ $_open == '"' ]]; then
            [[ $_c == '"' ]] && _open='' || _value+=$_c
        elif [[ $_c == [\'\"] ]]; then
            _open=$_c
        else
            _value+=$_c
        fi
    done
    printf -v "$2" %s "$_value"
    printf -v "$3" %s "$_open"
}

# Offers the names given after CUR and RL_WORD that begin with what CUR, the word typed up to the
# cursor, says, each as the text that readline puts in place of RL_WORD, its part of the word (after an
# open quote, "=" or ":"). The quoting suits the quote open there: none (printf %q), ' or " (closed by
# the text itself). compopt -o filenames must stay off for these: readline would quote them once more.
_twini_offer_names() {
    local cur=$1 rl_word=$2 keep typed kept open name rest text
    shift 2
    keep=${cur%"$rl_word"}
    [[ $keep$rl_word == "$cur" ]] || return
    _twini_dequote "$cur" typed open && _twini_dequote "$keep" kept open || return
    local -A offered=()
    for name; do
        [[ $name == "$typed"* && -z ${offered[x$name]-} ]] || continue
        offered[x$name]=1
        rest=${name:${#kept}}
        case $open in
            "'") text=${rest//\'/\'\\\'\'}\' ;;
            '"')
                text=${rest//\\/\\\\} text=${text//\$/\\\$} text=${text//\`/\\\`} text=${text//\"/\\\"}
                text=${text//!/\"\'!\'\"}\"
                ;;
            *) printf -v text %q "$rest" ;;
        esac
        # readline puts a text that begins with the open quote in place of that quote.
        [[ $open && $text == "$open"* ]] && text=$open$text
        COMPREPLY+=("$text")
    done
}

# Whether twini reads the word as an option where an optional operand could go.
_twini_is_option() {
    [[ $1 == @(-h|--@(help|version|existing|create|crlf|lf|exact|encoding=*|format=*|list|list=*|verbose|uncomment|get|set|del)) ]]
}

_twini() {
    # shellcheck disable=SC2034 # prev: set by _init_completion, kept local
    local cur prev words cword
    _init_completion -n =: || return

    # The words before the current one as twini reads them: options up to "--", then VERB FILE
    # operands, or FILE and operations, each taking its required operands whatever they look like and an
    # optional one unless it is an option. place is where the current word goes in its operation.
    local -a operands=() options=()
    local i value open sure form='' ended=false place=-1 least=0 most=0
    local file='' file_sure=true tilde=false section='' section_sure=true
    for ((i = 1; i < cword; i++)); do
        sure=true
        _twini_dequote "${words[i]}" value open || sure=false value=${words[i]}
        if [[ $form == file ]]; then
            if ((place >= 0 && place < most)) && { ((place < least)) || ! _twini_is_option "$value"; }; then
                ((place++ == 0)) && section=$value section_sure=$sure
            elif [[ $value == --@(get|del) ]]; then
                place=0 least=1 most=2
            elif [[ $value == --set ]]; then
                place=0 least=3 most=3
            else
                options+=("$value") place=-1
            fi
        elif ! $ended && [[ $value == -- ]]; then
            ended=true
        elif ! $ended && [[ $value == -?* ]]; then
            options+=("$value")
        elif [[ -n $form ]]; then
            operands+=("$value")
            case ${#operands[@]} in
                1) file=$value file_sure=$sure && [[ ${words[i]} == \~* ]] && tilde=true ;;
                2) section=$value section_sure=$sure ;;
            esac
        elif [[ $value == @(get|list|set|del|merge) ]]; then
            form=$value
        else
            form=file file=$value file_sure=$sure && [[ ${words[i]} == \~* ]] && tilde=true
        fi
    done
    [[ $form && $form != file ]] && place=$((${#operands[@]} - 1))

    # Options, and the values of --encoding=.
    local options_here=false
    if [[ $form == file ]]; then
        ((place < 0 || place >= least)) && options_here=true
    elif ! $ended; then
        options_here=true
    fi
    if $options_here && [[ $cur == -* ]]; then
        if [[ $cur == --encoding=* ]]; then
            mapfile -t COMPREPLY < <(compgen -W 'utf8 cp1252 auto' -- "${cur#--encoding=}")
            return
        fi
        if [[ $cur == --format=* ]]; then
            mapfile -t COMPREPLY < <(compgen -W 'plain sh ini lines' -- "${cur#--format=}")
            return
        fi
        [[ $cur == --list=* ]] && return
        local all='--existing --create --crlf --lf --exact --encoding= --format= --list --list= --uncomment'
        all+=' --verbose --help --version'
        if [[ $form == file ]]; then
            all+=' --get --set --del'
        else
            all+=' --'
        fi
        mapfile -t COMPREPLY < <(compgen -W "$all" -- "$cur")
        ((${#COMPREPLY[@]} == 1)) && [[ ${COMPREPLY[0]} == *= ]] && compopt -o nospace
        # Where an optional operand goes, a key may begin with "-" too.
        [[ $form == file ]] && ((place >= 0 && place < most)) || return
    fi

    case $form in
        '')
            mapfile -t COMPREPLY < <(compgen -W 'get list set del merge' -- "$cur")
            _filedir
            return
            ;;
        list | merge) ((place <= 0)) || return ;;
    esac
    if ((place < 0)) && [[ $form != file ]]; then
        _filedir
        return
    fi
    # The section (place 0) or one of its keys (place 1); a value is not completed.
    ((place == 0 || place == 1)) && $file_sure && $section_sure || return

    # The names as twini reads them with the options typed.
    local -a list=(list) names=() offer=()
    for value in "${options[@]}"; do
        [[ $value == --@(exact|crlf|lf|encoding=*) ]] && list+=("$value")
    done
    $tilde && __expand_tilde_by_ref file
    list+=(-- "$file")
    ((place == 1)) && list+=("$section")
    mapfile -t names < <(twini "${list[@]}" 2>/dev/null)
    for value in "${names[@]}"; do
        if [[ $value == -* ]]; then
            # Names twini would read as options.
            [[ $form != file ]] && ! $ended && continue
            [[ $form == file ]] && ((place >= least)) && _twini_is_option "$value" && continue
        fi
        offer+=("$value")
    done
    _twini_offer_names "$cur" "$2" "${offer[@]}"
} && complete -F _twini twini

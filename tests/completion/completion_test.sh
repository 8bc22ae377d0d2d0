#!/usr/bin/env bash
# The bash completions of twhost and twini, sourced into bash as bash-completion loads them, asked to
# complete command lines in a scratch directory. Exit status 77 (skipped) without bash-completion.
# usage: completion_test.sh BASH_COMPLETION TWHOST_COMPLETION TWINI_COMPLETION TWINI WORK
# shellcheck disable=SC2016 # the names are meant literally
set -u
if [[ ! -r $1 ]]; then
    echo "bash-completion is not installed ($1): skipped"
    exit 77
fi
# shellcheck source=/dev/null
source "$1"
# shellcheck source=/dev/null
source "$2"
# shellcheck source=/dev/null
source "$3"
PATH=$(dirname "$4"):$PATH
rm -rf "$5" && mkdir -p "$5/sub" && cd "$5" || exit 1
printf '[Paths]\r\nHome=C:\\x\r\nTemp=C:\\t\r\n[Cache]\r\nSize=1\r\n' >app.ini
printf '[S]\r\n k =1\r\n' >blanks.ini
: >start.tws

# Names that a shell would run, glob, split or read as an option, as sections and as keys of the last,
# [a b] (with the settings before the first header, the section "").
names=('$(touch pwned1)' '`touch pwned2`' '$((1+1))' '*' 'x;y' "it's" '-n' 'say "hi"' '~x' '!x' 'a\b'
    $'tab\there' "'q" '"q' 'a b')
no_dash=("${names[@]}")
unset 'no_dash[6]'
{
    printf 'top=1\r\n'
    printf '[%s]\r\n' "${names[@]}"
    printf '%s=1\r\n' "${names[@]}"
} >names.ini

# The registered classes, as twhost --list would print them.
twhost() { printf 'ProgID Path\nTarnwick.IniReader /x.so\n$(>pwned3) /y.so\n'; }

# compopt changes only a completion that readline runs.
compopt() { :; }

failed=0
fail() {
    echo "$*"
    failed=1
}

# Completes the line as bash would at its end: the words split as bash splits them (at blanks outside
# quotes, "=" and ":" words of their own), then the command's completion function, given the part of the
# word that readline replaces (after a quote still open, or after "=" or ":").
complete_line() {
    local line=$1 c i quote='' word='' escaped=false from=0 quoted_from=0 blank_from=0
    COMP_LINE=$line COMP_POINT=${#line} COMP_WORDS=() COMPREPLY=()
    for ((i = 0; i < ${#line}; i++)); do
        c=${line:i:1}
        if $escaped; then
            escaped=false word+=$c
        elif [[ $quote ]]; then
            [[ $c == "$quote" ]] && quote=''
            word+=$c
        elif [[ $c == [\'\"\\] ]]; then
            [[ $c == \\ ]] && escaped=true || quote=$c quoted_from=$((i + 1))
            word+=$c
        elif [[ $c == [\ =:] ]]; then
            [[ $word ]] && COMP_WORDS+=("$word")
            [[ $c != ' ' ]] && COMP_WORDS+=("$c")
            word='' from=$((i + 1))
            [[ $c == ' ' ]] && blank_from=$((i + 1))
        else
            word+=$c
        fi
    done
    [[ $word || $line == *' ' ]] && COMP_WORDS+=("$word")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    readline_word=${line:$([[ $quote ]] && echo $quoted_from || echo $from)} shell_word=${line:blank_from}
    local function
    function=$(complete -p "${COMP_WORDS[0]}" | sed -n 's/.*-F \([^ ]*\) .*/\1/p')
    "$function" "${COMP_WORDS[0]}" "$readline_word" "${COMP_WORDS[COMP_CWORD - 1]}"
}

expect() {
    local line=$1 wanted=$2 got
    complete_line "$line"
    got=$(printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | paste -sd ' ')
    [[ $got == "$wanted" ]] || fail "'$line' completes to '$got', not '$wanted'"
}

# Completes the line and checks that the replies are the wanted names, each once, each put back by bash
# as exactly that one word behind what readline keeps of the word typed. Where nothing of the name is
# typed, the reply is the name as printf %q quotes it.
expect_names() {
    local line=$1 reply quoted typed
    local -a wanted=("${@:2}") got=()
    complete_line "$line"
    local pwned
    for pwned in pwned*; do
        [[ -e $pwned ]] && fail "completing '$line' ran code from a file: $pwned exists" && rm "$pwned"
    done
    local -a words
    for reply in "${COMPREPLY[@]}"; do
        # What readline keeps of the word typed; a reply that begins with a quote still open replaces it.
        typed=${shell_word%"$readline_word"}
        [[ $typed == *[\'\"] && $reply == "${typed: -1}"* ]] && typed=${typed%?}
        # The words bash reads, with no command to be found should a reply run one.
        mapfile -d '' -t words < <(
            # shellcheck disable=SC2123
            PATH=''
            eval "set -- $typed$reply" 2>/dev/null
            printf '%s\0' "$@"
        )
        ((${#words[@]} == 1)) || fail "'$line' gives '$reply', which is ${#words[@]} words"
        got+=("${words[0]-}")
        printf -v quoted %q "${words[0]-}"
        [[ $shell_word || $reply == "$quoted" ]] || fail "'$line' gives '$reply', not '$quoted'"
    done
    local sorted_got sorted_wanted
    sorted_got=$(printf '<%s>\n' "${got[@]}" | LC_ALL=C sort)
    sorted_wanted=$(printf '<%s>\n' "${wanted[@]}" | LC_ALL=C sort)
    [[ $sorted_got == "$sorted_wanted" ]] || fail "'$line' gives the names"$'\n'"$sorted_got"$'\n'"not"$'\n'"$sorted_wanted"
}

expect 'twhost --ev' '--events='
expect 'twhost --events=std' 'stderr stdout'
expect 'twhost ' 'start.tws sub'
expect 'twhost --bitmap ' 'sub'
expect 'twhost --info ' 'Tarnwick.IniReader \$\(\>pwned3\)'
expect 'twhost --info=T' 'Tarnwick.IniReader'
expect 'twhost --info s' 'start.tws sub'
expect 'twini s' 'set start.tws sub'
expect 'twini get app.ini ' 'Cache Paths'
expect 'twini --existing set app.ini Paths ' 'Home Temp'
expect 'twini list app.ini Paths ' ''
expect 'twini app.ini --get Cache --set Paths T' 'Temp'
expect 'twini app.ini --c' '--create --crlf'
expect 'twini app.ini --e' '--encoding= --exact --existing'
expect 'twini app.ini --encoding=' 'auto cp1252 utf8'
expect 'twini --encoding=c' 'cp1252'
expect 'twini --format=' 'ini lines plain sh'
expect 'twini merge app.ini ' 'Cache Paths'
expect 'twini app.ini --u' '--uncomment'
expect 'twini get blanks.ini S ' 'k'
expect 'twini --exact get blanks.ini S ' '\ k\ '

# Every name, as a section and as a key; "-n" only where twini reads it as an operand.
expect_names 'twini names.ini --get ' '' "${names[@]}"
expect_names "twini get -- names.ini 'a b' " "${names[@]}"
expect_names 'twini get names.ini ' '' "${no_dash[@]}"
expect_names 'twini get names.ini a\ b ' "${no_dash[@]}"
expect 'twini names.ini --get x --del "a b" -n' '-n'
# Quotes already typed, and a name typed partly on the far side of "=".
expect_names "twini get names.ini '" '' "${no_dash[@]}"
expect_names 'twini get names.ini "' '' "${no_dash[@]}"
expect_names "twini get names.ini '\$(" '$(touch pwned1)' '$((1+1))'
expect_names 'twini get names.ini "$' # an expansion typed: nothing is offered
expect_names 'twini get names.ini "\$' '$(touch pwned1)' '$((1+1))'
expect_names "twini get names.ini 'it" "it's"
expect_names 'twini get names.ini "it' "it's"
expect_names 'twini get names.ini "say' 'say "hi"'
expect_names 'twini get names.ini "!' '!x'
expect_names 'twini get names.ini a\ ' 'a b'
expect_names "twini get names.ini 'a'\\\\" 'a\b'
printf '[k=v]\r\n[k=w]\r\n[k]\r\n' >equals.ini
expect_names 'twini get equals.ini k=' 'k=v' 'k=w'
expect_names 'twini get equals.ini "k=v' 'k=v'

[[ -e pwned3 ]] && fail "completing twhost --info ran code from a ProgID"

if ((failed)); then
    echo "completion: failed"
    exit 1
fi
echo "completion: every line completed as expected"

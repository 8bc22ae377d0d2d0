#!/usr/bin/env bash
# The bash completions of twhost and twini, sourced into bash as bash-completion loads them, asked to
# complete command lines in a scratch directory. Exit status 77 (skipped) without bash-completion.
# usage: completion_test.sh BASH_COMPLETION TWHOST_COMPLETION TWINI_COMPLETION TWINI WORK
set -u
if [[ ! -r $1 ]]; then
    echo "bash-completion is not installed ($1): skipped"
    exit 77
fi
source "$1"
source "$2"
source "$3"
PATH=$(dirname "$4"):$PATH
rm -rf "$5" && mkdir -p "$5/sub" && cd "$5" || exit 1
printf '[Paths]\r\nHome=C:\\x\r\nTemp=C:\\t\r\n[Cache]\r\nSize=1\r\n' >app.ini
: >start.tws

# compopt changes only a completion that readline runs.
compopt() { :; }

failed=0
# Completes the line as bash would at its end: the words split as readline splits them ("=" a word of
# its own), then the command's completion function.
expect() {
    local line=$1 wanted=$2
    COMP_LINE=$line COMP_POINT=${#line}
    read -ra COMP_WORDS <<<"${line//=/ = }"
    [[ $line == *' ' ]] && COMP_WORDS+=('')
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    local function
    function=$(complete -p "${COMP_WORDS[0]}" | sed -n 's/.*-F \([^ ]*\) .*/\1/p')
    "$function" "${COMP_WORDS[0]}" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    local got
    got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd ' ')
    if [[ $got != "$wanted" ]]; then
        echo "'$line' completes to '$got', not '$wanted'"
        failed=1
    fi
}

expect 'twhost --ev' '--events='
expect 'twhost --events=std' 'stderr stdout'
expect 'twhost ' 'start.tws sub'
expect 'twhost --bitmap ' 'sub'
expect 'twini s' 'set start.tws sub'
expect 'twini get app.ini ' 'Cache Paths'
expect 'twini --existing set app.ini Paths ' 'Home Temp'
expect 'twini list app.ini Paths ' ''
expect 'twini app.ini --get Cache --set Paths T' 'Temp'
expect 'twini app.ini --c' '--create --crlf'

if ((failed)); then
    echo "completion: failed"
    exit 1
fi
echo "completion: every line completed as expected"

#!/bin/sh
# Runs a transcript script and prints its transcript. Each line of the script is one shell command, run
# with standard input empty; the transcript holds "$ " and the command, then what it printed (standard
# output and standard error in the order written), then "[exit N]" when its status N is not 0. Empty
# lines and comments (#) are copied as they are. show FILE prints a file's bytes unambiguously: CR as
# ^M, the end of each line as $ (none after a last line without LF), bytes above 0x7F as M- and the
# byte less 0x80.
show() { cat -A "$1"; }
while IFS= read -r line || [ -n "$line" ]; do
    case "$line" in
        '' | '#'*)
            printf '%s\n' "$line"
            continue
            ;;
    esac
    printf '$ %s\n' "$line"
    eval "$line" </dev/null 2>&1
    status=$?
    [ "$status" -eq 0 ] || printf '[exit %d]\n' "$status"
done <"$1"

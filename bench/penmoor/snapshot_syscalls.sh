#!/usr/bin/env bash
# The system calls of a snapshot: ini_file::read() of a settings file of about 20 KB and fifty get_or
# of it, under strace, counting the calls that name the file or its descriptor (open, read, stat, close):
#   bench/penmoor/snapshot_syscalls.sh build/release
# Fails unless the file is opened once and read once.
set -euo pipefail
probe="${1:?usage: bench/penmoor/snapshot_syscalls.sh BUILD_DIR}/bench/penmoor/writer_probe"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
file="$scratch/settings.ini"
for s in $(seq 0 23); do
    printf '\n[Section%d]\n' "$s"
    for k in $(seq 0 16); do printf 'key%d = /home/zoë/Documents/project-%d/file-%d.txt\n' "$k" "$s" "$k"; done
done > "$file"
strace -qq -f -P "$file" -o "$scratch/trace" "$probe" snapshot "$file" > /dev/null
echo "$(wc -c < "$file") bytes; the calls that touch it:"
sed 's/^[0-9]* *//' "$scratch/trace"
opens=$(grep -c -E '^[0-9 ]*(open|openat)\(' "$scratch/trace" || true)
reads=$(grep -c -E '^[0-9 ]*(read|pread64)\(' "$scratch/trace" || true)
echo "opens: $opens, reads: $reads"
[[ "$opens" == 1 && "$reads" == 1 ]]

#!/usr/bin/env bash
# Runs every benchmark program of a build once, as briefly as it allows, so that none can rot unseen:
#   bench/smoke.sh build/release
# Each must run to its end; the figures mean nothing. peer_bench runs when the peer libraries were found.
set -euo pipefail
bench="${1:?usage: bench/smoke.sh BUILD_DIR}/bench"
brief=(--benchmark_min_time=0.001 --benchmark_repetitions=1)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

"$bench/penmoor/writer_bench" "${brief[@]}" > "$scratch/writer.json" --benchmark_format=json
python3 "$(dirname "$0")/penmoor/ratios.py" "$scratch/writer.json" > /dev/null
"$bench/ini/reader_bench" "${brief[@]}" > "$scratch/reader.json" --benchmark_format=json
python3 "$(dirname "$0")/ini/ratios.py" "$scratch/reader.json" > /dev/null
printf '[Last]\r\nTarget=old\r\n' > "$scratch/small.ini"
"$bench/penmoor/writer_probe" getsetting "$scratch/small.ini" > /dev/null
"$bench/penmoor/writer_probe" rss "$scratch" 8 > /dev/null
# A snapshot of a settings file is one open and one read of it (strace).
"$(dirname "$0")/penmoor/snapshot_syscalls.sh" "${1}" > /dev/null
# twini against crudini as processes; without crudini installed, twini and the floors alone.
"$bench/twini/twini_bench" --brief --table="$scratch/twini.md" > /dev/null
if [[ -x "$bench/peers/peer_bench" ]]; then
    "$bench/peers/peer_bench" --reps=1 --benchmark_min_time=0.001 --table="$scratch/peers.md" > /dev/null
    "$bench/peers/settings_bench" "${brief[@]}" > "$scratch/settings.json" --benchmark_format=json
    python3 "$(dirname "$0")/peers/settings_ratios.py" "$scratch/settings.json" > /dev/null
fi
echo "bench/smoke.sh: every benchmark program ran"

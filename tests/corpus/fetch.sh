#!/usr/bin/env bash
# Builds the corpus of real INI files: downloads each package of packages.txt (apt-get download, kept
# in CACHE/debs so that a second run downloads nothing), unpacks it and copies the files that sniff.py
# takes for INI files to CACHE/files/PACKAGE/PATH. Writes CACHE/manifest.tsv (package, version, path
# inside the package, size, sha256) and compares it with the committed manifest.tsv beside this script.
#
# Usage: fetch.sh [--cap N] [--update-manifest] [CACHE]
#   CACHE              where the packages and the corpus go (default: build/corpus of the tree)
#   --cap N            at most N files from one package (default 40; 0 keeps all)
#   --update-manifest  replace the committed manifest with the one of this run
# Exit status: 0 the corpus matches the committed manifest (or it was updated), 1 it differs,
# 2 usage error or a package that could not be had.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
cache="$here/../../build/corpus"
cap=40
update=false

while (($#)); do
    case $1 in
    --cap)
        [[ $# -ge 2 && $2 =~ ^[0-9]+$ ]] || { echo "fetch.sh: --cap needs a number" >&2; exit 2; }
        cap=$2
        shift 2
        ;;
    --update-manifest) update=true; shift ;;
    -h | --help) sed -n '2,/^set /{/^#/s/^# \{0,1\}//p}' "$0"; exit 0 ;;
    -*) echo "fetch.sh: unknown option '$1'" >&2; exit 2 ;;
    *) cache=$1; shift ;;
    esac
done

mkdir -p "$cache/debs"
cache=$(cd "$cache" && pwd)
mapfile -t packages < <(sed -e 's/#.*//' -e 's/[[:space:]]//g' -e '/^$/d' "$here/packages.txt")

# The .deb of a package already in the cache, if any (its name begins with the package's and "_").
cached_deb() {
    local found=("$cache/debs/$1"_*.deb)
    [[ -e ${found[0]} ]] && printf '%s\n' "${found[0]}"
}

missing=()
for pkg in "${packages[@]}"; do
    [[ -n $(cached_deb "$pkg") ]] && continue
    if ! (cd "$cache/debs" && apt-get download -q -o APT::Sandbox::User=root "$pkg" >/dev/null); then
        missing+=("$pkg")
    fi
done
if ((${#missing[@]})); then
    echo "fetch.sh: could not download: ${missing[*]} (run apt-get update first?)" >&2
    exit 2
fi

rm -rf "$cache/files"
mkdir -p "$cache/files"
manifest="$cache/manifest.tsv"
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT

{
    printf '#package\tversion\tpath\tsize\tsha256\n'
    for pkg in "${packages[@]}"; do
        deb=$(cached_deb "$pkg")
        version=$(dpkg-deb -f "$deb" Version)
        rm -rf "$unpacked/root"
        dpkg-deb -x "$deb" "$unpacked/root"
        while IFS= read -r path; do
            target="$cache/files/$pkg/$path"
            mkdir -p "$(dirname "$target")"
            cp "$unpacked/root/$path" "$target"
            size=$(stat -c %s "$target")
            sum=$(sha256sum <"$target")
            printf '%s\t%s\t%s\t%s\t%s\n' "$pkg" "$version" "$path" "$size" "${sum%% *}"
        done < <(python3 "$here/sniff.py" --cap "$cap" "$unpacked/root")
    done
} >"$manifest"

files=$(($(wc -l <"$manifest") - 1))
with_files=$(tail -n +2 "$manifest" | cut -f1 | sort -u | wc -l)
echo "corpus: $files files from $with_files of ${#packages[@]} packages in $cache/files"

if $update; then
    cp "$manifest" "$here/manifest.tsv"
    echo "manifest.tsv updated"
elif ! diff -q "$here/manifest.tsv" "$manifest" >/dev/null 2>&1; then
    echo "fetch.sh: the corpus differs from the committed manifest.tsv:" >&2
    diff "$here/manifest.tsv" "$manifest" | head -n 20 >&2 || true
    exit 1
fi

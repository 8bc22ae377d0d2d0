#!/bin/bash
# run_cases.sh PROGRAM OUTDIR
#
# Runs every case of cases.sh with PROGRAM answering to the name crudini, each in a fresh scratch
# directory, and writes what each case did to OUTDIR/<case>.txt: the command, the given file and
# standard input, the exit status, standard output, standard error, and the bytes, mode and link count
# of every file left in the scratch directory. Bytes are written one line per line with the line end
# and every byte outside printable ASCII escaped (\n, \r, \t, \\, \xNN), so two runs can be compared
# with compare.py or diff. A file whose bytes are those f.ini was given is shown as "as given".
#
# The program is reached through a symbolic link named crudini, first on PATH, so it runs under that
# name. Each case runs with an environment of its own: PATH, HOME, LC_ALL=C.UTF-8, umask 022, and
# CRUDINI=crudini. Three helpers are on PATH for the cases: `try CMD...` runs CMD and then prints
# "[exit N]" on standard output when its status N is not 0 (for cases of several commands);
# `unprivileged CMD...` runs CMD as nobody when the run is root's, so that a read-only file refuses a
# write and nothing outside the scratch directory can be replaced; `broken_pipe CMD...` runs CMD with
# standard output a pipe whose reading end is already closed and SIGPIPE at its default action (a
# pipe into `head -c0` would race).
#
# What a program printed is made the same from run to run: the scratch directory's path becomes
# <scratch>, the run's directory <work>, the random part of a temporary file's name (NAME.XXXXXXXX.tmp)
# XXXXXXXX, and a Python traceback keeps only its first and last lines (its frames quote a program's
# source, with paths and line numbers).
set -u

usage() {
    echo "usage: $0 PROGRAM OUTDIR" >&2
    exit 2
}
[ $# -eq 2 ] || usage

here=$(cd "$(dirname "$0")" && pwd)
case "$1" in
    */*) program=$(realpath -- "$1") ;;
    *) program=$(command -v -- "$1") ;;
esac
if [ -z "$program" ] || [ ! -x "$program" ]; then
    echo "$0: no program $1" >&2
    exit 2
fi
mkdir -p -- "$2" || exit 2
outdir=$(realpath -- "$2")
rm -f -- "$outdir"/*.txt

umask 022
work=$(mktemp -d) || exit 2
# The unprivileged cases must be able to reach their scratch directories.
chmod 755 "$work"
trap 'chmod -R u+rwX "$work"; rm -rf "$work"' EXIT
mkdir "$work/bin" "$work/cases" "$work/io"
ln -s "$program" "$work/bin/crudini"

cat >"$work/bin/try" <<'EOF'
#!/bin/sh
"$@"
s=$?
[ "$s" -eq 0 ] || echo "[exit $s]"
exit "$s"
EOF
cat >"$work/bin/unprivileged" <<'EOF'
#!/bin/sh
if [ "$(id -u)" -eq 0 ]; then
    exec setpriv --reuid=65534 --regid=65534 --clear-groups -- "$@"
fi
exec "$@"
EOF
cat >"$work/bin/broken_pipe" <<'EOF'
#!/usr/bin/python3
import os, signal, sys
signal.signal(signal.SIGPIPE, signal.SIG_DFL)
r, w = os.pipe()
os.close(r)
os.dup2(w, 1)
os.close(w)
os.execvp(sys.argv[1], sys.argv[1:])
EOF
chmod 755 "$work/bin/try" "$work/bin/unprivileged" "$work/bin/broken_pipe"

declare -A seen=()
names=()

# c NAME FILE STDIN COMMAND
#   NAME     the case's name: letters, digits, '.', '-' and '_'
#   FILE     a printf format for the bytes of f.ini in the scratch directory, or '-' for no f.ini
#   STDIN    a printf format for the bytes of standard input ('' for an empty one)
#   COMMAND  a bash command line, run in the scratch directory
c() {
    if [ $# -ne 4 ]; then
        echo "$0: a case needs 4 fields, has $#: $*" >&2
        exit 2
    fi
    local name=$1 file=$2 input=$3 cmd=$4
    if ! [[ $name =~ ^[A-Za-z0-9][A-Za-z0-9._-]*$ ]] || [ -n "${seen[$name]:-}" ]; then
        echo "$0: bad or repeated case name: $name" >&2
        exit 2
    fi
    seen[$name]=1
    names+=("$name")
    local scratch=$work/cases/$name io=$work/io/$name
    mkdir "$scratch" "$io"
    printf '%s' "$cmd" >"$io/command"
    if [ "$file" != - ]; then
        # shellcheck disable=SC2059 # the field is a format
        printf -- "$file" >"$scratch/f.ini"
        cp "$scratch/f.ini" "$io/given"
    fi
    # shellcheck disable=SC2059 # the field is a format
    printf -- "$input" >"$io/stdin"
    (
        cd "$scratch" || exit 125
        exec env -i PATH="$work/bin:/usr/local/bin:/usr/bin:/bin" HOME="$work" LC_ALL=C.UTF-8 \
            CRUDINI=crudini bash --norc --noprofile -c "$cmd" <"$io/stdin" >"$io/stdout" 2>"$io/stderr"
    )
    echo $? >"$io/status"
}

# shellcheck source=cases.sh
. "$here/cases.sh"

python3 - "$work" "$outdir" "${names[@]}" <<'EOF'
import os, re, stat, sys

work, outdir, names = sys.argv[1], sys.argv[2], sys.argv[3:]

def lines(data):
    """One '|' line per line of data, every byte outside printable ASCII escaped."""
    out, cur = [], []
    for b in data:
        if b == 0x0A:
            out.append("|" + "".join(cur) + "\\n")
            cur = []
        elif b in ESCAPES:
            cur.append(ESCAPES[b])
        elif 0x20 <= b < 0x7F:
            cur.append(chr(b))
        else:
            cur.append("\\x%02x" % b)
    if cur:
        out.append("|" + "".join(cur))
    return out

ESCAPES = {0x0D: "\\r", 0x09: "\\t", 0x5C: "\\\\"}

def block(title, data):
    if not data:
        return [title + ": (empty)"]
    return [title + ":"] + lines(data)

# From "Traceback" to the exception's line: the frames are indented, the exception's line is not.
TRACEBACK = re.compile(rb"^(Traceback \(most recent call last\):\n)(?:[ \t].*\n)+", re.M)

def read(path):
    with open(path, "rb") as f:
        return f.read()

for name in names:
    io = os.path.join(work, "io", name)
    scratch = os.path.join(work, "cases", name)

    def normal(data):
        data = data.replace(os.fsencode(scratch), b"<scratch>")
        data = data.replace(os.fsencode(work), b"<work>")
        data = re.sub(rb"\.[a-z0-9_]{8}\.tmp\b", b".XXXXXXXX.tmp", data)
        return TRACEBACK.sub(rb"\1  ...\n", data)

    out = ["case " + name, "command: " + read(os.path.join(io, "command")).decode()]
    given = None
    if os.path.exists(os.path.join(io, "given")):
        given = read(os.path.join(io, "given"))
        out += block("given f.ini", given)
    stdin = read(os.path.join(io, "stdin"))
    if stdin:
        out += block("given stdin", stdin)
    out.append("status: " + read(os.path.join(io, "status")).decode().strip())
    out += block("stdout", normal(read(os.path.join(io, "stdout"))))
    out += block("stderr", normal(read(os.path.join(io, "stderr"))))
    for top, dirs, files in os.walk(scratch):
        dirs.sort()
        for entry in sorted(dirs + files):
            path = os.path.join(top, entry)
            rel = os.path.relpath(path, scratch)
            st = os.lstat(path)
            kind = "%s, %d link%s" % (stat.filemode(st.st_mode), st.st_nlink,
                                      "" if st.st_nlink == 1 else "s")
            if stat.S_ISLNK(st.st_mode):
                out.append("symlink %s -> %s" % (rel, normal(os.fsencode(os.readlink(path))).decode(errors="backslashreplace")))
            elif stat.S_ISDIR(st.st_mode):
                out.append("directory %s (%s)" % (rel, stat.filemode(st.st_mode)))
            elif stat.S_ISREG(st.st_mode):
                if not os.access(path, os.R_OK):
                    # A case made it unreadable; not being root, read it as its owner.
                    os.chmod(path, st.st_mode | stat.S_IRUSR)
                data = read(path)
                title = "file %s (%s)" % (rel, kind)
                if data == given:
                    out.append(title + ": as given")
                else:
                    out += block(title, data)
            else:
                out.append("other %s (%s)" % (rel, kind))
    with open(os.path.join(outdir, name + ".txt"), "w") as f:
        f.write("\n".join(out) + "\n")
print("%d cases recorded in %s" % (len(names), outdir))
EOF

# Under the name crudini, twini answers to crudini's command line (here through a link in a directory of
# its own, as the package's compat directory is used: first on PATH).
mkdir compat && ln -s "$(command -v twini)" compat/crudini && PATH="$PWD/compat:$PATH"
crudini --version
printf 'g = 0\n\n[a]\nKey = 1\nx = 1 ; the first\nx = 2\nflag\n\n[b]\nz = 3\n  more\n' > f.ini
# --get: the sections (the keys before the first header are DEFAULT), a section's keys, a key's value:
# the last of two lines counts, keys match whatever their case, " ;" starts a comment, a line without
# "=" is a key without a value, and a section falls back on DEFAULT's keys.
crudini --get f.ini
crudini --get f.ini a
crudini --get f.ini a key
crudini --get f.ini a x
crudini --get f.ini a flag
crudini --get f.ini a g
crudini --get f.ini b z
crudini --get f.ini a missing
crudini --get f.ini c
# --format: sh, ini, lines.
crudini --get --format=sh f.ini a Key
crudini --get --format=ini f.ini b
crudini --get --format=lines f.ini
# --set keeps a line's spacing and comment; a new key is written "name = value" after the section's
# last key, a new section after two blank lines; --ini-options=nospace writes name=value.
crudini --set f.ini a x 5
crudini --set f.ini a new 'two words'
crudini --set f.ini c k v
crudini --ini-options=nospace --set f.ini c k2 v2
show f.ini
# DEFAULT where there are no keys before the first header: a [DEFAULT] section first in the file.
printf '[a]\nx = 1\n' > d.ini
crudini --set d.ini DEFAULT debug True
show d.ini
# --del removes every line of a key, or a section; what is missing is no failure unless --existing.
crudini --del f.ini a x
crudini --del f.ini c
crudini --del f.ini a nothing
crudini --existing --del f.ini a nothing
show f.ini
# --merge: the fragment's settings, one change; --existing drops new keys but fails on a new section.
printf '[a]\nKey = 7\nw = 4\n[e]\nk = v\n' | crudini --verbose --merge f.ini
printf '[a]\nz = 1\n' | crudini --existing --merge f.ini
printf '[z]\nk = 1\n' | crudini --existing --merge f.ini
show f.ini
# --list adds an item to a list value or removes one; --list-sep says the separator.
printf '[a]\nl = p, q\n' > l.ini
crudini --set --list l.ini a l r
crudini --set --list l.ini a l p
crudini --del --list l.ini a l q
crudini --set --list --list-sep=: l.ini a m x
show l.ini
# --verbose says changed or unchanged; --output writes elsewhere (- is standard output); FILE - reads
# standard input.
crudini --verbose --set l.ini a l 'p, r'
printf '' > out.ini; crudini --output=out.ini --set l.ini a n 1; show out.ini
crudini --output=- --set l.ini a n 2
printf '[s]\nk = 1\n' | crudini --set - s k 2
# Usage errors exit 1 (with the help on standard error, left out here).
crudini 2>&1 | head -1
crudini --get --del f.ini a 2>&1 | head -1
crudini --format=xml --get f.ini a 2>&1 | head -1
# Where crudini would damage the file, twini refuses: a hard link split, a value whose blanks would not
# read back, a key whose name holds "=".
ln f.ini link.ini; crudini --set f.ini a x 6; rm link.ini
crudini --set f.ini a x '  padded  '
crudini --set f.ini a 'k=v' 1

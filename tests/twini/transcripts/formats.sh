# --format prints for a shell (sh: name='value', quoted where needed), as INI lines (ini) or a line per
# setting that names its section (lines, line feeds in values as \n).
printf '[db]\nhost = localhost\npass = it'"'"'s secret\nlist = a\n  b\n[empty]\n' > app.ini
twini --format=sh get app.ini db
twini --format=sh get app.ini db pass
eval "$(twini --format=sh get app.ini db)"; echo "$host|$pass"
twini --format=ini get app.ini db
twini --format=ini list app.ini
twini --format=lines list app.ini
twini --format=lines get app.ini db list
# A name that is no shell variable's cannot be printed for a shell.
printf '[s]\nmy-key = 1\n' > bad.ini
twini --format=sh get bad.ini s
twini --format=xml get app.ini db
# --verbose says whether the file changed.
twini --verbose set app.ini db host localhost
twini --verbose set app.ini db host db.local
# FILE - reads standard input; an edit prints the file, changed or not.
printf '[s]\nk = 1\n' | twini set - s k 2
printf '[s]\nk = 1\n' | twini get - s k
printf '[s]\nk = 1\n' | twini del - s k
# set FILE SECTION adds the section alone.
twini set app.ini cache
twini set app.ini cache
show app.ini

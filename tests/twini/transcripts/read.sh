# Reading: a value, a section's settings, the section names, a section's key names. Blanks around a
# name or a value are no part of it, and a comment line is no part of a section. Every occurrence of a
# section is part of it, and the last line of a key is the one that counts: a section's settings are its
# keys, each once, where it first stands, with the value that counts.
printf '[Paths]\r\nHome=C:\\x\r\nTemp = /tmp\r\nHome=second\r\n[Paths]\r\nLog=/var/log\r\n[Empty]\r\n; comment\r\n[Paths]\r\nLater=1\r\n' > app.ini
twini get app.ini Paths Home
twini get app.ini Paths Temp
twini get app.ini Paths Log
twini get app.ini Paths Later
twini get app.ini Paths
twini get app.ini Empty
twini list app.ini
twini list app.ini Paths
twini list app.ini Empty
twini get app.ini Missing Home
twini get app.ini Missing
twini list app.ini Missing
twini get app.ini Empty Home
# With --exact every character counts: "Temp " (with its blank) is a key, and "Temp" is not, which the
# message says.
twini --exact get app.ini Paths 'Temp '
twini --exact get app.ini Paths Temp
twini --exact list app.ini Paths
# A value may hold "=" and may be empty.
printf '[S]\nurl=a=b\nempty=\n' > more.ini
twini get more.ini S url
twini get more.ini S empty
# A value of several lines: get prints its lines, a section's listing each further line on a line that
# begins with a tab (no name begins with a blank), and what get prints, set takes back unchanged.
printf '[Service]\nEnvironment=A=1\n  B=2\n\n  C=3\nType=simple\n' > unit.ini
twini get unit.ini Service Environment
twini get unit.ini Service
cp unit.ini before.ini
twini set unit.ini Service Environment "$(twini get unit.ini Service Environment)"
cmp unit.ini before.ini && echo unchanged
twini set unit.ini Service Environment "$(printf 'A=1\nB=9')"
show unit.ini
# A name that holds a lone LF (in a CR LF file) would print as two lines: refused, as such values are.
printf '[top]\r\n[a\nb]\r\nk=1\r\n[c]\r\nx\ny=2\r\n' > names.ini
twini list names.ini
twini get names.ini c
twini --lf list names.ini

# Reading: a value, a section's settings, the section names, a section's key names. Blanks around a
# name or a value are no part of it, and a comment line is no part of a section. A section runs on past
# a repeat of its header line and ends at any other header line.
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

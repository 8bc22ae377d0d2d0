# Reading: a value, a section's settings, the section names, a section's key names. Names are exact:
# "Temp " (with its blank) is a key, "Temp" is not. A section runs on past a repeat of its header line
# and ends at any other line that begins with "[".
printf '[Paths]\r\nHome=C:\\x\r\nTemp = /tmp\r\nHome=second\r\n[Paths]\r\nLog=/var/log\r\n[Empty]\r\n; comment\r\n[Paths]\r\nLater=1\r\n' > app.ini
twini get app.ini Paths Home
twini get app.ini Paths 'Temp '
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
# A value may hold "=" and may be empty.
printf '[S]\nurl=a=b\nempty=\n' > more.ini
twini get more.ini S url
twini get more.ini S empty

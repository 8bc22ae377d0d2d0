# set changes the first line of a key, adds a missing key directly below the section's header line, and
# appends a missing section at the end; del deletes a key's lines or a whole section.
printf '[Paths]\r\nHome=C:\\x\r\n; keep this comment\r\nHome=second\r\n' > app.ini
twini set app.ini Paths Home 'D:\y'
twini set app.ini Paths Temp /tmp
twini set app.ini Cache Size 10
show app.ini
# --existing changes only what is there.
twini set --existing app.ini Paths Missing x
twini set --existing app.ini Missing k x
twini set --existing app.ini Paths Home 'E:\z'
twini get app.ini Paths Home
twini del app.ini Paths Temp
twini del app.ini Paths Temp
twini del app.ini Paths Home
twini del app.ini Cache
twini del app.ini Cache
twini del app.ini Cache Size
show app.ini
# The writer edits a section up to the next line that begins with "[", a repeat of its header line
# included: a key found only after the repeat cannot be changed, and nothing is.
printf '[S]\na=1\n[S]\nb=2\n' > repeat.ini
twini get repeat.ini S b
twini set repeat.ini S b 3
twini del repeat.ini S b
twini set repeat.ini S b 2
twini set repeat.ini S a 3
printf '[S]\na=1\n[S]\na=2\n' > twice.ini
twini del twice.ini S a
show twice.ini
show repeat.ini
twini del repeat.ini S
show repeat.ini

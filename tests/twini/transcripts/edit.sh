# set changes the last line of a key (the one that counts; its spacing kept), adds a missing key after
# the section's last line (spaced and indented as its first key), and appends a missing section at the
# end, set off by a blank line; del deletes a key's lines or a whole section, with the comments above
# its header.
printf '[Paths]\r\nHome = C:\\x\r\n; keep this comment\r\nHome=second\r\n' > app.ini
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
# Setting and deleting sections piles up no blank lines.
printf '[A]\nk=v\n' > rounds.ini
twini set rounds.ini T k v
twini del rounds.ini T
twini set rounds.ini T k v
twini del rounds.ini T
show rounds.ini
# --exact edits as the controls do: a section up to the next line that begins with "[", a repeat of its
# header line included, so a key found only after the repeat cannot be changed, and nothing is; a new
# key goes directly below the header line, a deleted section leaves two empty lines at the top. By
# default the section reads on past the repeat, and is edited there.
printf '[S]\na=1\n[S]\nb=2\n' > repeat.ini
twini get repeat.ini S b
twini --exact set repeat.ini S b 3
twini --exact del repeat.ini S b
twini --exact set repeat.ini S b 2
twini --exact set repeat.ini S a 3
twini --exact set repeat.ini S c 4
printf '[S]\na=1\n[S]\na=2\n' > twice.ini
twini --exact del twice.ini S a
show twice.ini
show repeat.ini
twini set repeat.ini S b 5
show repeat.ini
twini --exact del repeat.ini S
show repeat.ini

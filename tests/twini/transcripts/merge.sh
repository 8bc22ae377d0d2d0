# merge sets every setting of an INI fragment read from standard input, in one change: a key there is
# changed (its line's spacing kept), a new one goes after its section's last line, a new section at the
# end; comments in the fragment go, and of two equal keys the last counts.
printf '[a]\nx = 1\ny = 2\n\n[b]\nz = 3\n' > app.ini
printf '; from the deploy\n[a]\nx = 9\nw = 4\nw = 5\n[c]\nk = v\n' | twini --verbose merge app.ini
show app.ini
# Nothing new: the file is not written.
printf '[a]\nx = 9\n' | twini --verbose merge app.ini
# Given a section, every key of the fragment goes to it, whatever header stands above.
printf 'p = 1\n[other]\nq = 2\n' | twini merge app.ini b
show app.ini
# --existing adds nothing: a key or section that is not there fails the whole merge (exit 1).
printf '[a]\nx = 8\nnew = 1\n' | twini --existing merge app.ini
twini get app.ini a x
# A line of the fragment that is no header, setting, comment or blank line is refused, as is a value the
# file could not hold; the file stays as it was.
printf '[a]\nx = 7\njust words\n' | twini merge app.ini
printf '[a]\nx = 7\ny = C:\\\\\n' | twini merge app.ini
twini get app.ini a x
# --list: set adds an item to the list a key holds (once), del removes it; the separator is ", " by
# default, --list=SEP another.
printf '[php]\nextensions = gd, intl\npath = /usr/lib:/opt/lib\n' > list.ini
twini set --list list.ini php extensions mbstring
twini set --list list.ini php extensions gd
twini del --list list.ini php extensions intl
twini del --list list.ini php extensions curl
twini set --list=: list.ini php path /usr/local/lib
twini set --list list.ini php modules first
show list.ini

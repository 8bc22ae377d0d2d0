# Several operations in one call: applied in order under one lock, each seeing the earlier ones' edits;
# the file is replaced once when all succeed, and left byte for byte as it was when one fails.
printf '[S]\r\nk1=1\r\nk2=2\r\n[T]\r\nx=1\r\n' > app.ini
twini app.ini --set S k1 one --del S k2 --get S --set U new yes --del T --get U new
show app.ini
cp app.ini before.ini
twini app.ini --set S k1 changed --del S nothing --set S k3 3
cmp app.ini before.ini && echo unchanged
twini app.ini --set S k1 changed --set S 'a=b' 1
cmp app.ini before.ini && echo unchanged
twini --existing app.ini --set S k1 ok --set S new no
cmp app.ini before.ini && echo unchanged
twini app.ini --get S k1 --get S missing
# What --get prints is printed only when the whole command succeeds.
twini app.ini --get S k1 --set S k1 two --get S k1 --del S nothing
twini --encoding=cp1252 app.ini --set S k1 '中'
cmp app.ini before.ini && echo unchanged
# The operands of an operation are taken as they are; an optional KEY is never one spelled as an option.
twini app.ini --set S k -5 --set S -- --lf --del U --create
show app.ini
twini app.ini --set S k
twini app.ini
twini app.ini --bogus
twini app.ini S k
ls
# One pass of several operations: a get after two sets prints its value once; a section appended while
# a later operation holds the blank lines at the end is set off by one blank line; blank lines held back
# and let through again keep their text.
: > empty.ini
twini empty.ini --set '' k v --set T k v --get '' k
printf 'x=1\n\n\n\n\n' > held.ini
twini held.ini --set U k v --set '' y 2 --get '' x
show held.ini
printf '[S]\na=1\n\n\n\n\n[T]\nb=2\n' > held.ini
twini held.ini --del T --get S a
show held.ini

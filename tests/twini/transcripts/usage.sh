# Usage errors are exit status 2 and change nothing.
twini
twini --version
twini --help | head -n 1
twini get
twini get app.ini
twini set app.ini S k
twini set app.ini S k v extra
twini --frobnicate get app.ini S k
twini set app.ini S k -5
twini get '' S k
# After "--" every argument is an operand.
printf '[S]\n' > app.ini
twini set app.ini S k -- -5
twini get -- app.ini S k
twini get app.ini S k --lf
show app.ini
# --help and --version win over what follows them, not over an error before them.
twini get --help | head -n 1
twini app.ini --get S --version
twini --bogus --help
# In the form of several operations, "--" goes before FILE, which may then begin with "-".
printf '[S]\nk=odd\n' > ./-odd.ini
twini -- -odd.ini --get S k --get S

# The common dialect, the default, as most INI files on Linux are written. A value goes on over the
# lines indented deeper than its key (blank lines between them are part of it, comments are not) or
# after a line ending in a backslash; set and del replace or remove all of its lines.
printf '[Service]\nExecStart=/bin/run \\\n    --flag\nEnvironment = A=1\n  B=2\n\n  C=3\nUser=x\n' > unit.ini
twini get unit.ini Service ExecStart
twini get unit.ini Service Environment
twini set unit.ini Service Environment 'D=4'
show unit.ini
twini del unit.ini Service ExecStart
show unit.ini
# A new key takes the indentation and spacing of the section's first key.
printf '[global]\n   workgroup = WORKGROUP\n   security = user\n\n[homes]\n   browseable = no\n' > smb.conf
twini set smb.conf global workgroup CORP
twini set smb.conf global 'log level' 1
show smb.conf
# Comments and headers: a commented-out setting is no setting, a header may be indented and followed by
# a comment, and a section is deleted with the comment above its header and the blank line before it.
printf '[Definition]  # the filter\n#failregex = old\nfailregex = new\n\n; next\n[Init]\nmaxlines = 1\n' > jail.conf
twini list jail.conf Definition
twini get jail.conf Definition failregex
twini del jail.conf Init
show jail.conf
# The lines before the first header are the section "".
printf 'root = true\n\n[*]\nindent_style = space\n' > .editorconfig
twini get .editorconfig '' root
twini list .editorconfig
twini set .editorconfig '' charset utf-8
show .editorconfig
# Text that would not read back as itself is refused.
twini set jail.conf Definition ' padded' x
twini set jail.conf Definition k 'a\'

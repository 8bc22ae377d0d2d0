# set --uncomment: where the key is missing and a commented-out line of it stands in the section, the
# setting takes that line's place, indented and spaced as it was, as configuration tools do for php.ini
# and daemons' files; a key that is there is changed as set changes it, and with no such line the key
# is added after the section's last line.
printf '[Date]\n; Defines the default timezone\n;date.timezone =\n\n[Session]\n#  save_path = "/tmp"\n' > php.ini
twini set --uncomment php.ini Date date.timezone Europe/Paris
twini set --uncomment php.ini Session save_path '"/var/lib/php"'
twini set --uncomment php.ini Session name PHPSESSID
show php.ini
twini set --uncomment php.ini Date date.timezone UTC
show php.ini
# Without --uncomment the comment stays a comment.
printf '[Unit]\n#Description=x\n' > unit.ini
twini set unit.ini Unit Description y
show unit.ini

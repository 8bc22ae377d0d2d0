# Line ends as found (the file's first line end), unless --crlf or --lf says.
printf '[S]\r\na=1\r\n' > crlf.ini
printf '[S]\na=1\n' > lf.ini
printf '[S]\na=1' > unterminated.ini
twini set crlf.ini S b 2
twini set lf.ini S b 2
twini set unterminated.ini S b 2
twini set unterminated.ini T c 3
show crlf.ini
show lf.ini
show unterminated.ini
# --lf on a CR LF file: the lines written would end with LF among lines that end with CR LF, so an edit
# in the common dialect is refused. --exact writes every line anew, with LF.
twini --lf set crlf.ini S c 3
show crlf.ini
twini --exact --lf set crlf.ini S d 4
show crlf.ini
# --crlf on an LF file: a lone LF stays inside a line, so the whole file is one line here.
twini --crlf get lf.ini S a
twini --crlf list lf.ini
# As found, a CR LF file keeps a lone LF inside a line: printing such a line would show the text after
# the LF as a line of its own, and an edit of it would take that text with it, so both are refused; --lf
# reads lines that end at the LF, but would write lines that end so among the file's CR LF lines.
printf '[S]\r\na=1\nb=2\r\n' > mixed.ini
twini get mixed.ini S
twini set mixed.ini S a 9
twini del mixed.ini S a
twini --lf set mixed.ini S a 9
show mixed.ini
# A value of several lines goes on continuation lines (indented deeper than its key), which read back
# as the value; a section's listing shows each further line of a value on a line that begins with a tab.
printf '[S]\r\n' > multi.ini
twini --crlf set multi.ini S text "$(printf 'one\ntwo')"
show multi.ini
twini --crlf get multi.ini S text
twini --lf get multi.ini S
twini --crlf --lf get lf.ini S a

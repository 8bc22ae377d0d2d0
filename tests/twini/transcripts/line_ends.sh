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
# --lf on a CR LF file: CR LF still ends lines; the lines written end with LF, and the lines left as
# they were keep their CR LF. --exact writes every line anew, with LF.
twini --lf set crlf.ini S c 3
show crlf.ini
twini --exact --lf set crlf.ini S d 4
show crlf.ini
# --crlf on an LF file: a lone LF stays inside a line, so the whole file is one line here.
twini --crlf get lf.ini S a
twini --crlf list lf.ini
# As found, a CR LF file keeps a lone LF inside a line: printing such a line would show the text after
# the LF as a line of its own, and an edit of it would take that text with it, so both are refused;
# --crlf edits the line as it is, --lf ends lines at the LF.
printf '[S]\r\na=1\nb=2\r\n' > mixed.ini
twini get mixed.ini S
twini set mixed.ini S a 9
twini del mixed.ini S a
twini --lf set mixed.ini S a 9
show mixed.ini
# --crlf lets a value hold a line feed; reading it back takes --lf, which shows its lines as lines.
printf '[S]\r\n' > multi.ini
twini --crlf set multi.ini S text "$(printf 'one\ntwo')"
show multi.ini
twini --crlf get multi.ini S text
twini --lf get multi.ini S
twini --crlf --lf get lf.ini S a

# By default the file's character set is as found: UTF-8 where the file is valid UTF-8 (or empty), else
# Windows-1252. A UTF-8 file's text is printed and written as its bytes, whatever they hold.
printf '[Desktop Entry]\nName=Impresi\303\263n\nName[ja]=\343\203\225\343\202\241\343\202\244\343\203\253\n' > app.desktop
twini get app.desktop 'Desktop Entry' Name
twini get app.desktop 'Desktop Entry' 'Name[ja]'
twini set app.desktop 'Desktop Entry' Comment 'ファイル – ✓'
show app.desktop
twini get app.desktop 'Desktop Entry' Comment
# A byte-order mark at the start is kept, and is no part of the first line.
printf '\357\273\277[S]\nk=v\n' > bom.ini
twini get bom.ini S k
twini set bom.ini S k w
show bom.ini
# A file that is not valid UTF-8 is Windows-1252 (here é is byte 0xE9); --encoding says otherwise.
printf '[S]\nk=caf\351\n' > latin.ini
twini get latin.ini S k
twini --encoding=utf8 get latin.ini S k | od -c | head -1
twini --encoding=utf8 set latin.ini S j 'é'
show latin.ini

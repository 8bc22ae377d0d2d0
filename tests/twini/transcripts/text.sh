# Arguments and output are UTF-8; the file holds Windows-1252 (here: é is byte 0xE9, € is 0x80).
printf '[Caf\351]\r\nPrice=\200 3\r\n' > text.ini
twini get text.ini Café Price
twini list text.ini
twini set text.ini Café Note 'naïve – “quoted” ‰'
show text.ini
twini get text.ini Café Note
# Text the file cannot hold is refused, never stored as "?"; the file is left as it was. A name only
# looked for that the file cannot hold is in it nowhere: not found.
twini set text.ini Café Note 中文
twini set text.ini Ωmega k v
twini get text.ini Café Ω
twini set text.ini Café "$(printf 'bad\377')" v
# Names that would not read back as written, and line breaks, are refused too.
twini set text.ini Café 'a=b' v
twini set text.ini Café '[x' v
twini set text.ini Café k "$(printf 'two\nlines')"
twini set text.ini Café k "$(printf 'cr\rhere')"
show text.ini

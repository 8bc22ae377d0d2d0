# A missing file is an error, unless --create: then it reads as empty, and an edit makes it.
twini get new.ini S k
twini set new.ini S k v
twini --create get new.ini S k
twini --create list new.ini
ls
twini --create set new.ini S k v
show new.ini
twini --create set new.ini S k2 v2
show new.ini
# A command that fails leaves no file behind.
twini --create other.ini --set S k v --del S missing
ls
# Paths that name no file that twini could read or edit.
twini --create set nodir/x.ini S k v
mkdir dir
twini set dir S k v
mkfifo fifo
twini get fifo S k
ln -s nowhere dangling.ini
twini --create set dangling.ini S k v
# A symbolic link stays a link; the file it leads to is edited.
ln -s new.ini link.ini
twini set link.ini S k3 v3
test -L link.ini && echo link.ini is still a link
show new.ini

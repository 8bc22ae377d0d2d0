#!/usr/bin/env python3
"""The settings job of examples/settings.cpp with Python's configparser, for comparison: defaults, a list,
non-ASCII text, a deletion, every name, a first run, a malformed file. One file, no layers."""
import configparser
import os
import sys

path = os.path.join(os.environ.get("XDG_CONFIG_HOME") or os.path.expanduser("~/.config"), "myapp", "myapp.ini")
config = configparser.ConfigParser(interpolation=None)
try:
    config.read(path, encoding="utf-8")
except configparser.Error as e:
    print(f"myapp: {e}", file=sys.stderr)  # malformed: the rest of the file is not read
width, height = config.getint("Window", "Width", fallback=640), config.getint("Window", "Height", fallback=480)
recent = [item.strip() for item in config.get("Files", "Recent", fallback="").split(";") if item.strip()]
print(f"{width}x{height}, {len(recent)} recent files")
for section in ("Window", "Files"):
    if not config.has_section(section):
        config.add_section(section)
config["Window"]["Width"] = str(width + 10)
config["Window"]["Title"] = "Zoë's café"
config["Files"]["Recent"] = ";".join(["/home/zoë/a.txt", "/tmp/b.txt"])
config.remove_option("Window", "Obsolete")
os.makedirs(os.path.dirname(path), mode=0o700, exist_ok=True)
with open(path, "w", encoding="utf-8") as f:
    config.write(f)
for section in config.sections():
    for key in config[section]:
        print(f"[{section}] {key} = {config[section][key]}")

#!/usr/bin/env python3
"""Prints a Wine prefix's registry as sorted lines, one per key and one per
value, without Wine's time stamps, so that two states can be compared with
diff. Both views of a 64-bit prefix are in it (the 32-bit one under
Wow6432Node). Paths given with --path are replaced by a placeholder: as a
whole value, within a value, and as the folder of the file.

  regdump.py PREFIX [--path WINDOWS_PATH PLACEHOLDER]...
"""
import sys


def reg_lines(path, root):
    """Wine leaves out keys that hold only subkeys: every key's ancestors are added."""
    lines, key, pending = set(), None, ""
    for raw in open(path, encoding="utf-8", errors="surrogateescape").read().splitlines():
        if pending:
            raw = pending + raw.strip()
            pending = ""
        if raw.endswith("\\") and not raw.startswith("["):
            pending = raw[:-1]
            continue
        if raw.startswith("["):
            key = root + "\\" + raw[1:raw.rindex("]")].replace("\\\\", "\\")
            parts = key.split("\\")
            lines.update("\\".join(parts[:n]) for n in range(2, len(parts) + 1))
        elif key and raw and not raw.startswith(("#time=", ";;", "#arch")):
            lines.add(key + " :: " + raw)
    return sorted(lines)


def main():
    args = sys.argv[1:]
    prefix, replacements = args[0], []
    for i in range(1, len(args), 3):
        windows_path, placeholder = args[i + 1], args[i + 2]
        folder = windows_path.rsplit("\\", 1)[0]
        for text, name in ((windows_path, placeholder), (folder + "\\", "<FOLDER>\\"), (folder, "<FOLDER>")):
            escaped = text.replace("\\", "\\\\")
            replacements.append((escaped, name))
            replacements.append((escaped.lower(), name))
    lines = reg_lines(prefix + "/system.reg", "HKLM") + reg_lines(prefix + "/user.reg", "HKCU")
    out = []
    for line in lines:
        for old, new in replacements:
            line = line.replace(old, new)
        out.append(line)
    sys.stdout.write("".join(line + "\n" for line in sorted(out)))


if __name__ == "__main__":
    main()

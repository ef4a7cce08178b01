#!/usr/bin/env python3
"""Writes the installer's WiX source (for wixl) from what the build made.

  make_wxs.py VERSION ROWS IDL DLL EXE OUTPUT SQL_OUTPUT

The files are found by their names beside OUTPUT, where wixl runs.
ROWS is registry_rows' dump of what the registry scripts and the plug-in
value write, with [#BoardscopeDll] as the module path. The type library's
rows (what RegisterTypeLib writes for the library and its dual interfaces)
are added from the contract's IDL. Product and package codes are derived
from the version and the packaged files, so that the same inputs give the
same package. wixl draws the package code at random, so this prints it and
the package's subject for msibuild -s (one per line).

wixl writes no empty keys and only plain strings (Type="expandable" comes
out as REG_SZ, and a leading '#' is escaped), so such rows are written as
placeholders and SQL_OUTPUT gets one msibuild statement per line that turns
them into what registration writes: Name '*' with a null Value for a key
created on install and removed on uninstall, '#%' before a REG_EXPAND_SZ.
"""
import hashlib
import os
import re
import sys
import uuid
from xml.sax.saxutils import quoteattr

UPGRADE_CODE = "6E3A64C1-5F0B-4C51-9B7E-2D8A0F4C7B19"
DLL_COMPONENT = "A1F0C2D3-7B6E-4F5A-8C9D-0E1F2A3B4C5D"
EXE_COMPONENT = "B2E1D3C4-8C7F-405B-9DAE-1F203B4C5D6E"
# The automation marshaller RegisterTypeLib names for dual interfaces.
OLEAUT_PROXY = "{00020424-0000-0000-C000-000000000046}"
ROOTS = {"HKCR": "HKCR", "HKLM": "HKLM"}
DESCRIPTION = "Boardscope %s: thermal-zone plug-in for the ZEM host"


def derived_guid(*parts):
    name = "\0".join(parts)
    return str(uuid.uuid5(uuid.UUID(UPGRADE_CODE), name)).upper()


def read_rows(path):
    """Keys and values of the dump: {(root, key): [(name, type, text)]}."""
    keys = {}
    for line in open(path, encoding="ascii").read().splitlines():
        match = re.fullmatch(r"(\w+)((?:\\[^[]*?)?)(?: \[(.*)\] type (\d+):([0-9A-F]*))?", line)
        if not match:
            sys.exit("make_wxs: unexpected row: " + line)
        root, key, name, kind, data = match.groups()
        if not key:
            continue
        if root not in ROOTS:
            sys.exit("make_wxs: unexpected root: " + line)
        values = keys.setdefault((root, key[1:]), [])
        if kind is None:
            continue
        if "\\u" in name:
            sys.exit("make_wxs: unexpected value name: " + line)
        text = bytes.fromhex(data).decode("utf-16-le")
        if not text.endswith("\0") or "\0" in text[:-1]:
            sys.exit("make_wxs: not one terminated string: " + line)
        values.append((name, int(kind), text[:-1]))
    return keys


def typelib_rows(idl):
    """The library's and its dual interfaces' rows, as RegisterTypeLib writes them."""
    text = open(idl, encoding="ascii").read()
    library = re.search(r"\[([^\]]*)\]\s*library\s+\w+", text)
    attributes = library.group(1)
    libid = "{%s}" % re.search(r"uuid\(([0-9A-Fa-f-]+)\)", attributes).group(1).upper()
    version = re.search(r"version\(([0-9.]+)\)", attributes).group(1)
    lcid = int(re.search(r"lcid\((0x[0-9A-Fa-f]+|\d+)\)", attributes).group(1), 0)
    helpstring = re.search(r'helpstring\("([^"]*)"\)', attributes).group(1)
    flags = 8  # LIBFLAG_FHASDISKIMAGE
    for bit, attribute in ((1, "restricted"), (2, "control"), (4, "hidden")):
        if re.search(r"\b%s\b" % attribute, attributes):
            flags |= bit
    base = "TypeLib\\%s\\%s" % (libid, version)
    keys = {
        ("HKCR", base): [("", 1, helpstring)],
        ("HKCR", base + "\\%x\\win32" % lcid): [("", 1, "[#BoardscopeDll]")],
        ("HKCR", base + "\\FLAGS"): [("", 1, str(flags))],
        ("HKCR", base + "\\HELPDIR"): [("", 1, "[INSTALLDIR]")],
    }
    for match in re.finditer(r"\[([^\]]*)\]\s*interface\s+(\w+)", text):
        attributes, name = match.groups()
        if not re.search(r"\b(dual|oleautomation)\b", attributes):
            continue
        iid = "{%s}" % re.search(r"uuid\(([0-9A-Fa-f-]+)\)", attributes).group(1).upper()
        key = "Interface\\" + iid
        keys[("HKCR", key)] = [("", 1, name)]
        keys[("HKCR", key + "\\ProxyStubClsid")] = [("", 1, OLEAUT_PROXY)]
        keys[("HKCR", key + "\\ProxyStubClsid32")] = [("", 1, OLEAUT_PROXY)]
        keys[("HKCR", key + "\\TypeLib")] = [("", 1, libid), ("Version", 1, version)]
    return keys


def registry_xml(keys):
    """The component's registry elements, and the SQL that completes them."""
    lines, statements = [], []
    for number, (root, key) in enumerate(sorted(keys, key=lambda k: (k[0], k[1].lower()))):
        values = keys[(root, key)]
        prefix = key.lower() + "\\"
        if not values:
            if not any(r == root and k.lower().startswith(prefix) for r, k in keys):
                # An empty key of its own.
                row = "Key%d" % number
                lines.append('<RegistryValue Id="%s" Root=%s Key=%s Name="placeholder" Type="string" Value="placeholder"/>'
                             % (row, quoteattr(ROOTS[root]), quoteattr(key)))
                statements.append("UPDATE `Registry` SET `Name` = '*', `Value` = '' WHERE `Registry` = '%s'" % row)
            continue
        for index, (name, kind, text) in enumerate(values):
            if kind not in (1, 2):
                sys.exit("make_wxs: value type %d is not handled" % kind)
            if re.search(r"[\[\]']", text.replace("[#BoardscopeDll]", "").replace("[INSTALLDIR]", "")):
                sys.exit("make_wxs: value would be read as a formatted reference: " + text)
            row = "Reg%d_%d" % (number, index)
            name_attr = " Name=%s" % quoteattr(name) if name else ""
            lines.append('<RegistryValue Id="%s" Root=%s Key=%s%s Type="string" Value=%s/>'
                         % (row, quoteattr(ROOTS[root]), quoteattr(key), name_attr, quoteattr(text)))
            if kind == 2:
                statements.append("UPDATE `Registry` SET `Value` = '#%%%s' WHERE `Registry` = '%s'" % (text, row))
    return "\n            ".join(lines), statements


def main():
    version, rows, idl, dll, exe, output, sql_output = sys.argv[1:]
    keys = read_rows(rows)
    for key, values in typelib_rows(idl).items():
        if key in keys:
            sys.exit("make_wxs: type library row clashes with the scripts: %s" % (key,))
        keys[key] = values
    digest = hashlib.sha256()
    for path in (dll, exe):
        digest.update(open(path, "rb").read())
    registry, statements = registry_xml(keys)
    product_code = derived_guid("product", version)
    package_code = derived_guid("package", version, digest.hexdigest())
    source = f"""<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="{product_code}" Name="Boardscope" Language="1033" Version="{version}"
           Manufacturer="Quendal" UpgradeCode="{UPGRADE_CODE}">
    <Package Description="{DESCRIPTION % version}"
             Manufacturer="Quendal" InstallerVersion="200" Compressed="yes" InstallScope="perMachine"/>
    <MajorUpgrade DowngradeErrorMessage="A newer version of Boardscope is already installed."/>
    <Media Id="1" Cabinet="Boardscope.cab" EmbedCab="yes"/>
    <Property Id="ARPNOMODIFY" Value="1"/>
    <Directory Id="TARGETDIR" Name="SourceDir">
      <Directory Id="ProgramFilesFolder">
        <Directory Id="INSTALLDIR" Name="Boardscope">
          <Component Id="BoardscopeDll" Guid="{DLL_COMPONENT}">
            <File Id="BoardscopeDll" Name="Boardscope.dll" Source={quoteattr(os.path.basename(dll))} KeyPath="yes"/>
            {registry}
          </Component>
          <Component Id="Zemhost" Guid="{EXE_COMPONENT}">
            <File Id="ZemhostExe" Name="zemhost.exe" Source={quoteattr(os.path.basename(exe))} KeyPath="yes"/>
          </Component>
        </Directory>
      </Directory>
    </Directory>
    <Feature Id="Boardscope" Title="Boardscope" Level="1">
      <ComponentRef Id="BoardscopeDll"/>
      <ComponentRef Id="Zemhost"/>
    </Feature>
  </Product>
</Wix>
"""
    with open(output, "w", encoding="utf-8", newline="\n") as out:
        out.write(source)
    with open(sql_output, "w", encoding="utf-8", newline="\n") as out:
        out.write("".join(statement + "\n" for statement in statements))
    print("{%s}" % package_code)
    print(DESCRIPTION % version)


if __name__ == "__main__":
    main()

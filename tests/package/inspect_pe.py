#!/usr/bin/env python3
"""Checks a shipped Windows program as Explorer and the loader see it: the version resource
(a Simplified Chinese and an English block with every field a user sees), the icon sizes
(256 pixels stored as PNG), the manifest, the Terminal Server mark, the link time stamp and
that it is stripped.
  inspect_pe.py VERSION PROGRAM.exe...
Prints one line per failed check and exits 1 if any failed.
  inspect_pe.py --company PROGRAM.exe
Prints the CompanyName of the program's Simplified Chinese block. Standard library only."""
import re
import struct
import sys

RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24
ICON_SIZES = {16, 20, 24, 32, 40, 48, 64, 256}
# The compatibility GUIDs of Windows 7, 8, 8.1 and 10/11.
SUPPORTED_OS = ("35138b9a-5d96-4fbd-8e2d-a2440225f93a", "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38",
                "1f676c76-80e1-4239-95bb-83d0f6d0da78", "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a")
FIELDS = ("FileDescription", "ProductName", "CompanyName", "LegalCopyright", "FileVersion",
          "ProductVersion", "OriginalFilename")


class Pe:
    """The headers, sections and resources of a PE32+ file."""

    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("not a PE file")
        (_, sections, self.timestamp, _, self.symbols, opt_size,
         _) = struct.unpack_from("<HHIIIHH", data, pe + 4)
        opt = pe + 24
        if struct.unpack_from("<H", data, opt)[0] != 0x20B:
            raise ValueError("not a 64-bit program")
        self.dll_characteristics = struct.unpack_from("<H", data, opt + 70)[0]
        res_rva = struct.unpack_from("<II", data, opt + 112 + 2 * 8)[0]
        self.sections = []
        for i in range(sections):
            base = opt + opt_size + 40 * i
            name = data[base:base + 8].rstrip(b"\0").decode("latin-1")
            vsize, va, raw_size, raw = struct.unpack_from("<IIII", data, base + 8)
            self.sections.append((name, va, max(vsize, raw_size), raw))
        self.resources = {}
        if res_rva:
            self._walk(self.offset(res_rva), 0, ())

    def offset(self, rva):
        for _, va, size, raw in self.sections:
            if va <= rva < va + size:
                return raw + rva - va
        raise ValueError("address %#x outside every section" % rva)

    def _walk(self, root, rel, path):
        named, ids = struct.unpack_from("<HH", self.data, root + rel + 12)
        for i in range(named + ids):
            name, target = struct.unpack_from("<II", self.data, root + rel + 16 + 8 * i)
            # A number, or the offset of a name (not needed here) marked as such.
            key = name if not name & 0x80000000 else "name@%d" % (name & 0x7FFFFFFF)
            if target & 0x80000000:
                self._walk(root, target & 0x7FFFFFFF, path + (key,))
            else:
                rva, size = struct.unpack_from("<II", self.data, root + target)
                start = self.offset(rva)
                self.resources[path + (key,)] = self.data[start:start + size]

    def resource(self, kind, name=None):
        """The first resource of the kind (and name), any language."""
        for key in sorted(self.resources, key=str):
            if key[0] == kind and (name is None or key[1] == name):
                return self.resources[key]
        return None


def version_tree(data, pos=0):
    """(key, value bytes, text flag, children) of one VS_VERSIONINFO-style node."""
    length, value_length, text = struct.unpack_from("<HHH", data, pos)
    end = pos + length
    key_end = pos + 6
    while data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = data[pos + 6:key_end].decode("utf-16-le")
    cur = (key_end + 2 + 3) & ~3
    size = value_length * 2 if text else value_length
    value = data[cur:cur + size]
    cur = (cur + size + 3) & ~3
    children = []
    while cur < end:
        child = version_tree(data, cur)
        children.append(child)
        cur = (cur + child[4] + 3) & ~3
    return key, value, text, children, length


def string_tables(info):
    """{block: {key: text}} of a version resource, and its translation bytes."""
    tables = {}
    translations = b""
    for child in version_tree(info)[3]:
        if child[0] == "StringFileInfo":
            for table in child[3]:
                tables[table[0].upper()] = {
                    s[0]: s[1].decode("utf-16-le").rstrip("\0") for s in table[3]}
        elif child[0] == "VarFileInfo":
            translations = b"".join(v[1] for v in child[3] if v[0] == "Translation")
    return tables, translations


def check(path, version, failures):
    name = path.replace("\\", "/").rsplit("/", 1)[-1]

    def fail(message):
        failures.append("%s: %s" % (name, message))

    with open(path, "rb") as f:
        pe = Pe(f.read())
    if pe.timestamp != 0:
        fail("link time stamp %#x (expected none)" % pe.timestamp)
    debug = [s[0] for s in pe.sections if s[0].startswith((".debug", "/"))]
    if pe.symbols or debug:
        fail("not stripped (%d symbols, sections %s)" % (pe.symbols, debug))
    if not pe.dll_characteristics & 0x8000:  # IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE
        fail("not marked Terminal Server aware")

    quad = version + ".0"
    info = pe.resource(RT_VERSION)
    if info is None:
        fail("no version resource")
    else:
        fixed = version_tree(info)[1]
        ms, ls = struct.unpack_from("<II", fixed, 8)
        fixed_text = "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
        if fixed_text != quad:
            fail("file version %s, expected %s" % (fixed_text, quad))
        tables, translations = string_tables(info)
        for block, lang in (("080404B0", 0x804), ("040904B0", 0x409)):
            strings = tables.get(block)
            if strings is None:
                fail("no version block %s" % block)
                continue
            for field in FIELDS:
                if not strings.get(field, "").strip():
                    fail("block %s: %s missing" % (block, field))
            for field in ("FileVersion", "ProductVersion"):
                if strings.get(field) != version:
                    fail("block %s: %s is %r" % (block, field, strings.get(field)))
            if strings.get("OriginalFilename", "").lower() != name.lower():
                fail("block %s: OriginalFilename is %r" % (block, strings.get("OriginalFilename")))
            if struct.pack("<HH", lang, 1200) not in translations:
                fail("no translation %#x/1200" % lang)
        zh = tables.get("080404B0", {})
        # Read with the wrong code page, the Chinese texts would come out as other letters.
        for field in ("FileDescription", "CompanyName", "LegalCopyright"):
            if not any("\u4e00" <= c <= "\u9fff" for c in zh.get(field, "")):
                fail("block 080404B0: %s %r has no Chinese" % (field, zh.get(field)))
        for field in ("CompanyName", "LegalCopyright"):
            if zh.get(field) and zh.get(field) == tables.get("040904B0", {}).get(field):
                fail("block 040904B0: %s not in English" % field)

    group = pe.resource(RT_GROUP_ICON)
    if group is None:
        fail("no icon")
    else:
        count = struct.unpack_from("<H", group, 4)[0]
        sizes = set()
        for i in range(count):
            width, _, _, _, _, bits, _, icon_id = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i)
            size = width or 256
            sizes.add(size)
            image = pe.resource(RT_ICON, icon_id) or b""
            is_png = image.startswith(b"\x89PNG\r\n\x1a\n")
            if size == 256 and not is_png:
                fail("256-pixel icon image is not a PNG")
            if bits != 32:
                fail("%d-pixel icon image has %d bits per pixel" % (size, bits))
        if sizes != ICON_SIZES:
            fail("icon sizes %s, expected %s" % (sorted(sizes), sorted(ICON_SIZES)))

    manifest = pe.resource(RT_MANIFEST, 1)
    if manifest is None:
        fail("no manifest")
    else:
        text = manifest.decode("utf-8", "replace")
        for needle in ('version="%s"' % quad, 'level="asInvoker"', "<supportedOS "):
            if needle not in text:
                fail("manifest lacks %s" % needle)
        listed = set(re.findall(r'<supportedOS\s+Id="\{([^}]*)\}"', text, re.I))
        if {guid.lower() for guid in listed} != set(SUPPORTED_OS):
            fail("manifest lists the systems %s" % sorted(listed))


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "--company":
        with open(sys.argv[2], "rb") as f:
            info = Pe(f.read()).resource(RT_VERSION)
        print(string_tables(info)[0].get("080404B0", {}).get("CompanyName", ""))
        return 0
    if len(sys.argv) < 3:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    failures = []
    for path in sys.argv[2:]:
        try:
            check(path, sys.argv[1], failures)
        except (OSError, ValueError, struct.error) as error:
            failures.append("%s: %s" % (path, error))
    for line in failures:
        print(line)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

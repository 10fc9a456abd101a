#!/usr/bin/python3
"""Reads a release back from its files: what `make release` and the test of it
trust before an executable goes to players.

    check_release.py <release folder> <login page address>

Fails, naming what is wrong, unless the executable
- imports only system DLLs of Windows 7 and later (no MinGW runtime DLL, no
  debug CRT), whether loaded at start or delay-loaded, and every delay-loaded
  function's address slot starts out pointing at code that loads it;
- is at most 600 KB;
- is stripped;
- carries version 1.0.0.1 with the Chinese (PRC) Unicode string table, and the
  manifest asking for common controls 6.0 (x86), asInvoker and DPI awareness;
- points at the given login page address and nowhere else;
- matches its checksum file.
"""
import hashlib
import re
import struct
import subprocess
import sys
import xml.etree.ElementTree as ElementTree
from pathlib import Path

OBJDUMP = "i686-w64-mingw32-objdump"

# System DLLs of Windows 7 that the client may use.
SYSTEM_DLLS = {
    "advapi32.dll", "comctl32.dll", "comdlg32.dll", "gdi32.dll", "gdiplus.dll", "imm32.dll", "kernel32.dll",
    "msvcrt.dll", "ole32.dll", "oleaut32.dll", "shell32.dll", "shlwapi.dll", "urlmon.dll", "user32.dll",
    "uxtheme.dll", "version.dll", "wininet.dll", "winmm.dll",
}
VERSION = (1, 0, 0, 1)
# What a player downloads, with its artwork.
SIZE_GOAL = 600 * 1024


class Release:
    def __init__(self, folder):
        self.exe = Path(folder) / "duskmere.exe"
        self.data = self.exe.read_bytes()
        self.problems = []

    def require(self, condition, problem):
        if not condition:
            self.problems.append(problem)

    def resource(self, kind):
        return subprocess.run(["wrestool", "-x", "--raw", "--type=%d" % kind, str(self.exe)],
                              check=True, capture_output=True).stdout

    def delay_imported(self, headers, sections):
        """Names of the DLLs the delay-import descriptors name. GNU ld leaves the
        delay-import directory empty, so the descriptors are found by their
        shape: attributes 1 (addresses are RVAs), then RVAs of the DLL's name,
        its module handle, its address table and its name table. Each slot of
        the address table must start out at a stub in the code that loads the
        function on the first call: i686 GNU ld drops a delay-import library's
        stubs when the code calls only through the slots, and leaves them 0."""
        base = int(re.search(r"^ImageBase\s+([0-9a-f]+)", headers, re.M).group(1), 16)
        # (RVA, size, file offset) of each section with contents in the file.
        spans = [(int(m.group(2), 16) - base, int(m.group(1), 16), int(m.group(3), 16)) for m in re.finditer(
            r"^\s*\d+ \S+\s+([0-9a-f]+)\s+([0-9a-f]+)\s+[0-9a-f]+\s+([0-9a-f]+)", sections, re.M)]

        text = re.search(r"^\s*\d+ \.text\s+([0-9a-f]+)\s+([0-9a-f]+)", sections, re.M)
        code = (int(text.group(2), 16) - base, int(text.group(2), 16) - base + int(text.group(1), 16))

        def offset(rva):
            return next((rva - start + at for start, size, at in spans if at and start <= rva < start + size), None)

        self.require(any(at and size for _, size, at in spans), "the delay-import scan read no section")
        names = set()
        for start, size, at in spans:
            for here in range(at, at + size - 32, 4):
                attributes, name, module, table, name_table = struct.unpack_from("<5I", self.data, here)
                if attributes != 1 or None in (offset(module), offset(table), offset(name_table)):
                    continue
                text = offset(name)
                found = text is not None and re.match(rb"([A-Za-z0-9_-]+\.dll)\0", self.data[text:text + 64], re.I)
                if found:
                    names.add(found.group(1).decode("ascii"))
                    self.check_delay_slots(found.group(1).decode("ascii"), base, offset(table), offset(name_table),
                                           code)
        return sorted(names, key=str.lower)

    def check_delay_slots(self, dll, base, table, name_table, code):
        count = 0
        while struct.unpack_from("<I", self.data, name_table + 4 * count)[0]:
            slot, = struct.unpack_from("<I", self.data, table + 4 * count)
            self.require(code[0] <= slot - base < code[1],
                         "delay-import slot %d of %s starts at %#x, not at a loading stub in the code: "
                         "the first call through it would jump there" % (count, dll, slot))
            count += 1

    def check_imports(self):
        headers = subprocess.run([OBJDUMP, "-p", str(self.exe)], check=True, capture_output=True, text=True).stdout
        sections = subprocess.run([OBJDUMP, "-h", str(self.exe)], check=True, capture_output=True, text=True).stdout
        loaded = re.findall(r"^\s*DLL Name: (\S+)", headers, re.M)
        delayed = self.delay_imported(headers, sections)
        self.require("kernel32.dll" in {name.lower() for name in loaded}, "no import table read: %s" % loaded)
        for name in loaded + delayed:
            self.require(name.lower() in SYSTEM_DLLS, "imports %s, which is not a system DLL of Windows 7" % name)
        self.require(re.search(r"^Characteristics .*\n(\s+.*\n)*?\s+line numbers stripped", headers, re.M)
                     and re.search(r"^\s+symbols stripped", headers, re.M), "not stripped")
        self.require(".debug" not in sections, "carries debug sections")
        self.require(re.search(r"^Magic\s+010b\s", headers, re.M), "not a 32-bit executable")
        self.require(len(self.data) <= SIZE_GOAL, "%d bytes, over the goal of %d" % (len(self.data), SIZE_GOAL))
        return loaded, delayed

    def check_version(self):
        block = self.resource(16)
        fixed = block.find(struct.pack("<I", 0xFEEF04BD))
        self.require(fixed >= 0, "no version block")
        if fixed < 0:
            return
        file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<4I", block, fixed + 8)
        for what, ms, ls in (("file", file_ms, file_ls), ("product", product_ms, product_ls)):
            self.require((ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF) == VERSION, "%s version is not 1.0.0.1" % what)
        text = block.decode("utf-16-le", "replace")
        self.require("080404B0" in text, "no Chinese (PRC) Unicode string table")
        self.require(struct.pack("<HH", 0x804, 1200) in block, "no Chinese (PRC) Unicode translation")
        for name in ("FileVersion", "ProductVersion"):
            self.require(re.search(name + r"\W+1\.0\.0\.1\0", text), "%s string is not 1.0.0.1" % name)

    def check_manifest(self):
        asm1, asm3 = "{urn:schemas-microsoft-com:asm.v1}", "{urn:schemas-microsoft-com:asm.v3}"
        text = self.resource(24)
        self.require(text, "no manifest")
        if not text:
            return
        manifest = ElementTree.fromstring(text)
        controls = [identity.attrib for identity in manifest.iter(asm1 + "assemblyIdentity")
                    if identity.get("name") == "Microsoft.Windows.Common-Controls"]
        self.require([(c.get("version"), c.get("processorArchitecture")) for c in controls] == [("6.0.0.0", "x86")],
                     "manifest does not ask for common controls 6.0 of x86: %s" % controls)
        levels = [level.attrib for level in manifest.iter(asm3 + "requestedExecutionLevel")]
        self.require(levels == [{"level": "asInvoker", "uiAccess": "false"}], "execution level %s" % levels)
        aware = [element.text for element in manifest.iter() if element.tag.endswith("}dpiAware")]
        self.require(aware == ["true"], "dpiAware is %s" % aware)

    def check_address(self, address):
        found = re.findall(rb"(?:h\0t\0t\0p\0(?:s\0)?:\0/\0/\0)(?:[^\0]\0)*?/\0v\0o\0r\0n\0a\0k\0\0\0", self.data)
        addresses = [text.decode("utf-16-le").rstrip("\0") for text in found]
        self.require(addresses == [address], "login page addresses %s, not [%s]" % (addresses, address))

    def check_checksum(self):
        listing = self.exe.parent / "duskmere.exe.sha256"
        listed = listing.read_text() if listing.exists() else None
        self.require(listed == "%s  duskmere.exe\n" % hashlib.sha256(self.data).hexdigest(),
                     "duskmere.exe.sha256 does not list the executable's checksum in sha256sum's format")


def main():
    folder, address = sys.argv[1:]
    release = Release(folder)
    loaded, delayed = release.check_imports()
    release.check_version()
    release.check_manifest()
    release.check_address(address)
    release.check_checksum()
    if release.problems:
        sys.exit("release check of %s failed:\n  %s" % (release.exe, "\n  ".join(release.problems)))
    print("%s: %d bytes, for %s; imports %s%s; version 1.0.0.1, manifest and checksum read back" % (
        release.exe, len(release.data), address, ", ".join(loaded),
        "; delay-loads " + ", ".join(delayed) if delayed else ""))


if __name__ == "__main__":
    main()

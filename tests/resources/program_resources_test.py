#!/usr/bin/env python3
"""Reads the manifest and the version resource back from built Windows
programs, with wrestool (icoutils), and checks them:

  manifest (type 24, id 1): requireAdministrator without uiAccess inside a
    trustInfo of the asm.v3 namespace, declared once (an element declaring a
    namespace twice restarts Windows XP SP2); the supportedOS ids of Vista,
    7, 8, 8.1 and 10/11; no dpiAware, no activeCodePage;
  version (type 16, id 1): VS_VERSIONINFO whose fixed file version and
    FileVersion / ProductVersion strings are the toolkit's --version number,
    and a FileDescription (what the elevation prompt shows) in Chinese and
    English, a different one per program.

  program_resources_test.py VERSION_COMMAND... -- PROGRAM.exe...
Exit 0 when all hold, 1 otherwise, 77 (skipped) when a program is missing.
"""
import re
import struct
import subprocess
import sys
import xml.etree.ElementTree as ET

ASM_V1 = "urn:schemas-microsoft-com:asm.v1"
ASM_V3 = "urn:schemas-microsoft-com:asm.v3"
COMPAT = "urn:schemas-microsoft-com:compatibility.v1"
SUPPORTED_OS = {
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}",  # Vista
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  # 7
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  # 8
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  # 8.1
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  # 10 and 11
}

failures = []


def fail(program, what):
    failures.append(f"{program}: {what}")


def resource(program, rtype):
    return subprocess.run(["wrestool", "-x", "--raw", f"--type={rtype}", "--name=1", program],
                          capture_output=True, check=False).stdout


def check_manifest(program):
    raw = resource(program, 24)
    if not raw:
        fail(program, "no manifest (type 24, id 1)")
        return
    text = raw.decode("utf-8")
    try:
        root = ET.fromstring(raw)
    except ET.ParseError as e:
        fail(program, f"manifest is not XML: {e}")
        return
    if root.tag != f"{{{ASM_V1}}}assembly":
        fail(program, f"manifest root is {root.tag}")
    trust = root.findall(f"{{{ASM_V3}}}trustInfo")
    if len(trust) != 1:
        fail(program, f"{len(trust)} trustInfo elements in the asm.v3 namespace")
    # The namespace is named once in the whole text, by trustInfo's own
    # default-namespace declaration and nothing else.
    tags = re.findall(r"<trustInfo\b[^>]*>", text)
    if text.count(ASM_V3) != 1 or len(tags) != 1 or tags[0].count("xmlns") != 1 or "xmlns:" in tags[0]:
        fail(program, f"asm.v3 is not declared exactly once on trustInfo: {tags}")
    levels = root.findall(f".//{{{ASM_V3}}}security/{{{ASM_V3}}}requestedPrivileges/"
                          f"{{{ASM_V3}}}requestedExecutionLevel")
    if len(levels) != 1 or levels[0].get("level") != "requireAdministrator" or \
            levels[0].get("uiAccess") != "false":
        fail(program, f"execution level is {[l.attrib for l in levels]}")
    ids = {e.get("Id", "").lower() for e in root.findall(f"{{{COMPAT}}}compatibility/{{{COMPAT}}}application/"
                                                          f"{{{COMPAT}}}supportedOS")}
    if ids != SUPPORTED_OS:
        fail(program, f"supportedOS ids are {sorted(ids)}")
    for unwanted in ("dpiAware", "dpiAwareness", "activeCodePage"):
        if unwanted in text:
            fail(program, f"manifest holds {unwanted}")


def version_nodes(data, at, end):
    """The VS_VERSIONINFO nodes from `at` to `end`: (key, value bytes, is_text, children)."""
    nodes = []
    while at + 6 <= end:
        length, value_length, is_text = struct.unpack_from("<HHH", data, at)
        if length == 0 or at + length > end:
            raise ValueError(f"node length {length} at {at}")
        key_end = at + 6
        while data[key_end:key_end + 2] != b"\0\0":
            key_end += 2
        key = data[at + 6:key_end].decode("utf-16-le")
        value_at = (key_end + 2 + 3) & ~3
        value_bytes = value_length * 2 if is_text else value_length
        value = data[value_at:value_at + value_bytes]
        children_at = (value_at + value_bytes + 3) & ~3
        nodes.append((key, value, is_text, version_nodes(data, children_at, at + length)))
        at = (at + length + 3) & ~3
    return nodes


def check_version(program, expected):
    raw = resource(program, 16)
    if not raw:
        fail(program, "no version resource (type 16, id 1)")
        return None
    try:
        [(key, fixed, _, children)] = version_nodes(raw, 0, struct.unpack_from("<H", raw, 0)[0])
    except ValueError as e:
        fail(program, f"version resource damaged: {e}")
        return None
    signature, _, ms, ls = struct.unpack_from("<IIII", fixed, 0)
    if key != "VS_VERSION_INFO" or signature != 0xFEEF04BD:
        fail(program, f"not a VS_VERSIONINFO ({key}, {signature:#x})")
        return None
    number = f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}"
    if number != expected or ls & 0xFFFF != 0:
        fail(program, f"file version {number}.{ls & 0xFFFF}, --version says {expected}")
    strings = {}
    for name, _, _, tables in children:
        if name == "StringFileInfo":
            for _, _, _, values in tables:
                for k, v, _, _ in values:
                    strings[k] = v.decode("utf-16-le").rstrip("\0")
    for name in ("FileVersion", "ProductVersion"):
        if strings.get(name) != expected + ".0":
            fail(program, f"{name} is {strings.get(name)!r}, expected {expected}.0")
    description = strings.get("FileDescription", "")
    if not re.search("[\u4e00-\u9fff]", description) or not re.search("[A-Za-z]{3}", description):
        fail(program, f"FileDescription {description!r} is not Chinese and English")
    return description


def main():
    args = sys.argv[1:]
    split = args.index("--")
    command, programs = args[:split], args[split + 1:]
    import os
    missing = [p for p in programs if not os.path.isfile(p)]
    if missing:
        print(f"skipped: not built: {' '.join(missing)}")
        return 77
    out = subprocess.run(command, capture_output=True, text=True, check=False).stdout
    found = re.match(r"\S+ (\d+\.\d+\.\d+)\b", out.strip())
    if not found:
        print(f"FAIL: {' '.join(command)} printed {out!r}")
        return 1
    expected = found.group(1)
    descriptions = {}
    for program in programs:
        check_manifest(program)
        descriptions[program] = check_version(program, expected)
    if len(set(descriptions.values())) != len(programs):
        failures.append(f"the programs do not have a description each: {descriptions}")
    for f in failures:
        print(f"FAIL: {f}")
    print(f"program resources: {len(programs)} programs, version {expected}: "
          f"{'ok' if not failures else 'FAILED'}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

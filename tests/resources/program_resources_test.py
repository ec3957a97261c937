#!/usr/bin/env python3
"""The manifest (type 24) and version resource (type 16) read back from built
Windows programs with wrestool, against what Windows needs of them and the
toolkit's --version number.
    program_resources_test.py VERSION_COMMAND... -- PROGRAM.exe...
Exit 0 all hold, 1 not, 77 (skipped) a program is not built."""
import os, re, struct, subprocess, sys
import xml.etree.ElementTree as ET

V1, V3 = "{urn:schemas-microsoft-com:asm.v1}", "{urn:schemas-microsoft-com:asm.v3}"
C = "{urn:schemas-microsoft-com:compatibility.v1}"
SUPPORTED_OS = {"{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  # Vista, 7
                "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  # 8, 8.1
                "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}  # 10 and 11
failures = []


def resource(program, rtype):
    return subprocess.run(["wrestool", "-x", "--raw", f"--type={rtype}", "--name=1", program],
                          capture_output=True).stdout


def check_manifest(p, raw):
    text, root = raw.decode(), ET.fromstring(raw)
    # asm.v3 is named once, by trustInfo's own default namespace: an element
    # declaring it twice restarts Windows XP SP2.
    tags = re.findall(r"<trustInfo\b[^>]*>", text)
    level = root.findall(f"{V3}trustInfo/{V3}security/{V3}requestedPrivileges/{V3}requestedExecutionLevel")
    ids = {e.get("Id").lower() for e in root.findall(f"{C}compatibility/{C}application/{C}supportedOS")}
    checks = {"root is an asm.v1 assembly": root.tag == f"{V1}assembly",
              "asm.v3 declared once, on trustInfo": text.count(V3[1:-1]) == 1 and len(tags) == 1
              and tags[0].count("xmlns") == 1 and "xmlns:" not in tags[0],
              "requireAdministrator without uiAccess": [e.attrib for e in level]
              == [{"level": "requireAdministrator", "uiAccess": "false"}],
              "supportedOS Vista to 11": ids == SUPPORTED_OS,
              "no dpiAware nor activeCodePage": not re.search("dpiAware|activeCodePage", text)}
    failures.extend(f"{p}: manifest: {k}" for k, ok in checks.items() if not ok)


def nodes(data, at, end):
    """VS_VERSIONINFO nodes between at and end: (key, value, children)."""
    out = []
    while at + 6 <= end:
        length, value_length, is_text = struct.unpack_from("<HHH", data, at)
        key_end = data.index(b"\0\0", at + 6)
        key_end += (key_end - at) % 2  # UTF-16 units start at even offsets
        value_at = (key_end + 5) & ~3
        value_end = value_at + value_length * (2 if is_text else 1)
        out.append((data[at + 6:key_end].decode("utf-16-le"), data[value_at:value_end],
                    nodes(data, (value_end + 3) & ~3, at + length)))
        at = (at + length + 3) & ~3
    return out


def check_version(p, raw, expected):
    [(key, fixed, children)] = nodes(raw, 0, len(raw))
    signature, _, ms, ls = struct.unpack_from("<IIII", fixed)
    strings = {k: v.decode("utf-16-le").rstrip("\0") for name, _, tables in children if name == "StringFileInfo"
               for _, _, values in tables for k, v, _ in values}
    description = strings.get("FileDescription", "")
    checks = {"is a VS_VERSIONINFO": key == "VS_VERSION_INFO" and signature == 0xFEEF04BD,
              f"file version {expected}.0": (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
              == tuple(map(int, expected.split("."))) + (0,),
              f"version strings {expected}.0": strings.get("FileVersion") == strings.get("ProductVersion")
              == expected + ".0",
              "description in Chinese and English": re.search("[\u4e00-\u9fff]", description)
              and re.search("[A-Za-z]{3}", description)}
    failures.extend(f"{p}: version: {k} ({strings})" for k, ok in checks.items() if not ok)
    return description


def main():
    split = sys.argv.index("--")
    command, programs = sys.argv[1:split], sys.argv[split + 1:]
    if not all(map(os.path.isfile, programs)):
        print(f"skipped: not all built: {programs}")
        return 77
    out = subprocess.run(command, capture_output=True, text=True).stdout
    expected = re.match(r"\S+ (\d+\.\d+\.\d+)\b", out.strip())
    if not expected:
        print(f"FAIL: {command} printed {out!r}")
        return 1
    descriptions = set()
    for p in programs:
        manifest, version = resource(p, 24), resource(p, 16)
        if not manifest or not version:
            failures.append(f"{p}: no manifest or no version resource")
            continue
        check_manifest(p, manifest)
        descriptions.add(check_version(p, version, expected.group(1)))
    if len(descriptions) != len(programs):
        failures.append(f"not one description per program: {descriptions}")
    print("\n".join(f"FAIL: {f}" for f in failures))
    print(f"program resources: {len(programs)} programs, version {expected.group(1)}: "
          f"{'FAILED' if failures else 'ok'}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

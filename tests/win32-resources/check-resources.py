#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Checks what tov-resources.exe printed about tov-upgrade.exe: one application manifest that
asks for no elevation, is system DPI-aware, wants Common Controls 6 and names Windows 7 to 11,
that Windows (here Wine) accepts, and a version resource with the project's version.
    check-resources.py RESOURCES_TXT PROJECT_VERSION"""
import re
import sys
import xml.etree.ElementTree as ET

ASM1 = "{urn:schemas-microsoft-com:asm.v1}"
ASM3 = "{urn:schemas-microsoft-com:asm.v3}"
COMPAT = "{urn:schemas-microsoft-com:compatibility.v1}"
WS2005 = "{http://schemas.microsoft.com/SMI/2005/WindowsSettings}"
WS2016 = "{http://schemas.microsoft.com/SMI/2016/WindowsSettings}"
SUPPORTED_OS = {
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}": "Windows 7",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}": "Windows 8",
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}": "Windows 8.1",
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}": "Windows 10 and 11",
}

text = open(sys.argv[1], encoding="utf-8", errors="replace").read()
version = sys.argv[2]
four_part = ".".join((version.split(".") + ["0"] * 4)[:4])
failures = []


def check(what, ok):
    print(("PASS " if ok else "FAIL ") + what)
    if not ok:
        failures.append(what)


def line(name):
    found = re.search(r"^" + re.escape(name) + r": (.*)$", text, re.M)
    return found.group(1) if found else None


check("exactly one manifest resource", line("manifests") == "1")
body = re.search(r"^manifest 1: \d+ bytes\n(.*)\nend of manifest$", text, re.M | re.S)
check("manifest resource 1 (the one Windows reads at start)", body is not None)
root = None
if body:
    try:
        root = ET.fromstring(body.group(1).encode("utf-8"))
    except ET.ParseError as error:
        check(f"manifest is well-formed XML ({error})", False)
if root is not None:
    check("root is an asm.v1 assembly, manifestVersion 1.0",
          root.tag == ASM1 + "assembly" and root.get("manifestVersion") == "1.0")
    identity = root.find(ASM1 + "assemblyIdentity")
    check(f"program's assembly version is {four_part}",
          identity is not None and identity.get("version") == four_part)
    controls = [a for a in root.iterfind(f"{ASM1}dependency/{ASM1}dependentAssembly/{ASM1}assemblyIdentity")
                if a.get("name") == "Microsoft.Windows.Common-Controls"]
    check("depends on Common Controls 6.0.0.0",
          len(controls) == 1 and controls[0].get("version") == "6.0.0.0"
          and controls[0].get("publicKeyToken") == "6595b64144ccf1df"
          and controls[0].get("type") == "win32")
    levels = root.findall(f".//{ASM3}requestedPrivileges/{ASM3}requestedExecutionLevel")
    check("requestedExecutionLevel asInvoker, no UI access",
          len(levels) == 1 and levels[0].get("level") == "asInvoker"
          and levels[0].get("uiAccess") in (None, "false"))
    ids = {os.get("Id") for os in root.iterfind(f"{COMPAT}compatibility/{COMPAT}application/{COMPAT}supportedOS")}
    for guid, name in SUPPORTED_OS.items():
        check(f"supportedOS {name}", guid in ids)
    check("no supportedOS beyond Windows 7 to 11", ids <= set(SUPPORTED_OS))
    settings = root.find(f"{ASM3}application/{ASM3}windowsSettings")
    aware = settings.find(WS2005 + "dpiAware") if settings is not None else None
    awareness = settings.find(WS2016 + "dpiAwareness") if settings is not None else None
    check("dpiAware true (system-aware)", aware is not None and aware.text.strip() == "true")
    check("dpiAwareness system, if given",
          awareness is None or awareness.text.strip() == "system")
check("the loader accepts the manifest", line("activation context") == "accepted")
controls = line("common controls") or ""
check(f"its activation context gives the side-by-side Common Controls 6 (got {controls})",
      re.search(r"\\winsxs\\[^\\]*microsoft\.windows\.common-controls_6595b64144ccf1df_6\.", controls,
                re.I) is not None)
for name in ("Button", "Edit", "msctls_progress32", "SysIPAddress32"):
    check(f"the dialogs' {name} class comes from that assembly",
          line(f"class {name}") == "redirected")
check(f"fixed file version {four_part}", line("fixed file version") == four_part)
check(f"fixed product version {four_part}", line("fixed product version") == four_part)
check(f"FileVersion {version}", line("FileVersion") == version)
check(f"ProductVersion {version}", line("ProductVersion") == version)

print(f"{'FAILED' if failures else 'all passed'}: {len(failures)} of the checks failed")
sys.exit(1 if failures else 0)

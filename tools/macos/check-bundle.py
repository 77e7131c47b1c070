#!/usr/bin/env python3
"""check-bundle.py BUNDLE VERSION: reads a built Velkora.fmplugin back as
FileMaker would see it. Info.plist must say package type FMXT, the plug-in's
id (VELKORA_PLUGIN_ID in plugin/) as the signature, VERSION as both versions,
and name an executable that is in Contents/MacOS; the strings table must be
where CFBundleCopyLocalizedString looks. Used by tools/macos-check.sh and
tools/macos-release.sh."""
import glob
import os
import plistlib
import re
import sys

bundle, version = sys.argv[1:]
root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
ids = set()
for header in glob.glob(os.path.join(root, "plugin", "*.h")):
    with open(header, encoding="utf-8") as f:
        ids.update("".join(m) for m in re.findall(r"#define VELKORA_PLUGIN_ID '(.)', '(.)', '(.)', '(.)'", f.read()))
if len(ids) != 1 or not version:
    sys.exit(f"check-bundle: no single plug-in id in plugin/*.h ({sorted(ids)}) or no version ({version!r})")
plugin_id = ids.pop()

contents = os.path.join(bundle, "Contents")
with open(os.path.join(contents, "Info.plist"), "rb") as f:
    info = plistlib.load(f)
expected = {
    "CFBundlePackageType": "FMXT",
    "CFBundleSignature": plugin_id,
    "CFBundleVersion": version,
    "CFBundleShortVersionString": version,
}
wrong = [f"{key} is {info.get(key)!r}, not {value!r}" for key, value in expected.items() if info.get(key) != value]
if not os.path.isfile(os.path.join(contents, "MacOS", str(info.get("CFBundleExecutable")))):
    wrong.append(f"CFBundleExecutable {info.get('CFBundleExecutable')!r} names no file in Contents/MacOS")
if not os.path.isfile(os.path.join(contents, "Resources", "English.lproj", "Localizable.strings")):
    wrong.append("no Resources/English.lproj/Localizable.strings")
if wrong:
    sys.exit("check-bundle: Info.plist: " + "; ".join(wrong))
print(f"check-bundle: {bundle}: FMXT, id {plugin_id}, version {version}, executable {info['CFBundleExecutable']}")

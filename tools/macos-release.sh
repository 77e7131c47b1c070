#!/usr/bin/env bash
# tools/macos-release.sh build SDK_DIR | keychain | sign | notarize | package OUT_DIR
# The macOS release plug-in, on a Mac with Xcode's command line tools (the
# release workflow's macOS leg; tools/macos-check.sh is the check that runs
# on Linux). Every step works on build-release-macos/plugin/Velkora.fmplugin.
#   build SDK_DIR  RtMidi 5.0.0 with its CoreMIDI backend compiled in, and the
#                  plug-in against the vendor's SDK (Headers/,
#                  Libraries/macOS/FMWrapper.framework), universal arm64 +
#                  x86_64; then its architectures, exports and Info.plist
#                  are checked
#   keychain       a keychain of its own holding the certificate
#                  MACOS_CERTIFICATE_P12 (base64) with MACOS_CERTIFICATE_PASSWORD
#   sign           codesign with the identity VELKORA_SIGN_IDENTITY from the
#                  keychain (hardened runtime, timestamp)
#   notarize       notarytool with APPLE_ID, APPLE_TEAM_ID and
#                  APPLE_APP_PASSWORD, then the ticket stapled to the bundle
#   package OUT    OUT/velkora-<version>-macos.zip, the bundle zipped by ditto
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-release-macos
bundle=$build/plugin/Velkora.fmplugin
rtmidi_version=5.0.0
fail() {
  echo "macos-release: $*" >&2
  exit 1
}

case "${1:-}" in
build)
  sdk=${2:?usage: macos-release.sh build SDK_DIR}
  # RtMidi compiled here, not with its CMake, whose static library would
  # still mark every symbol for export; hidden, like our own code.
  rtmidi=$build/rtmidi
  if [ ! -f "$rtmidi/lib/librtmidi.a" ]; then
    mkdir -p "$rtmidi/src" "$rtmidi/include" "$rtmidi/lib"
    curl -fsSL --retry 3 "https://github.com/thestk/rtmidi/archive/refs/tags/$rtmidi_version.tar.gz" |
      tar -xz -C "$rtmidi/src" --strip-components=1
    clang++ -std=c++17 -O2 -arch arm64 -arch x86_64 -mmacosx-version-min=10.15 -fvisibility=hidden \
      -D__MACOSX_CORE__ -c "$rtmidi/src/RtMidi.cpp" -o "$rtmidi/RtMidi.o"
    libtool -static -o "$rtmidi/lib/librtmidi.a" "$rtmidi/RtMidi.o"
    cp "$rtmidi/src/RtMidi.h" "$rtmidi/include/"
  fi
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVELKORA_WERROR=ON \
    -DCMAKE_OSX_ARCHITECTURES="arm64;x86_64" -DCMAKE_OSX_DEPLOYMENT_TARGET=10.15 \
    -DVELKORA_FMWRAPPER_DIR="$sdk" -DVELKORA_RTMIDI_DIR="$rtmidi"
  cmake --build "$build" --target Velkora -j"$(sysctl -n hw.ncpu)"

  binary=$bundle/Contents/MacOS/Velkora
  archs=$(lipo -archs "$binary" | tr ' ' '\n' | sort | xargs)
  [ "$archs" = "arm64 x86_64" ] || fail "$binary holds '$archs', not arm64 and x86_64"
  for arch in arm64 x86_64; do
    exported=$(nm -gU -arch "$arch" -j "$binary" | sort -u)
    [ "$exported" = _FMExternCallProc ] || fail "$arch exports more than _FMExternCallProc:"$'\n'"$exported"
  done
  python3 "$root/tools/macos/check-bundle.py" "$bundle" \
    "$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
  ;;
keychain)
  for v in MACOS_CERTIFICATE_P12 MACOS_CERTIFICATE_PASSWORD; do
    [ -n "${!v:-}" ] || fail "$v is not set"
  done
  keychain=$build/signing.keychain-db
  password=$(uuidgen)
  mkdir -p "$build"
  security create-keychain -p "$password" "$keychain"
  security set-keychain-settings -lut 3600 "$keychain"
  security unlock-keychain -p "$password" "$keychain"
  echo "$MACOS_CERTIFICATE_P12" | base64 --decode >"$build/certificate.p12"
  security import "$build/certificate.p12" -k "$keychain" -P "$MACOS_CERTIFICATE_PASSWORD" -T /usr/bin/codesign
  rm -f "$build/certificate.p12"
  security set-key-partition-list -S apple-tool:,apple: -s -k "$password" "$keychain" >/dev/null
  mapfile -t keychains < <(security list-keychains -d user | tr -d '" ')
  security list-keychains -d user -s "$keychain" "${keychains[@]}"
  ;;
sign)
  [ -n "${VELKORA_SIGN_IDENTITY:-}" ] || fail "VELKORA_SIGN_IDENTITY is not set"
  codesign --force --timestamp --options runtime --sign "$VELKORA_SIGN_IDENTITY" "$bundle"
  codesign --verify --strict --verbose=2 "$bundle"
  ;;
notarize)
  for v in APPLE_ID APPLE_TEAM_ID APPLE_APP_PASSWORD; do
    [ -n "${!v:-}" ] || fail "$v is not set"
  done
  ditto -c -k --keepParent "$bundle" "$build/notarize.zip"
  xcrun notarytool submit "$build/notarize.zip" --wait \
    --apple-id "$APPLE_ID" --team-id "$APPLE_TEAM_ID" --password "$APPLE_APP_PASSWORD"
  xcrun stapler staple "$bundle"
  ;;
package)
  out=${2:?usage: macos-release.sh package OUT_DIR}
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
  mkdir -p "$out"
  ditto -c -k --keepParent "$bundle" "$out/velkora-$version-macos.zip"
  echo "$out/velkora-$version-macos.zip"
  ;;
*)
  sed -n '2,18s/^# \{0,1\}//p' "$0" >&2
  exit 2
  ;;
esac

#!/usr/bin/env bash
# tests/scripts/check_dist.sh DIST_DIR VERSION [VENDOR_EXPORTS]: checks what
# tools/release.sh made, one row per file and property. A row's operator:
#   =   what the file shows, its lines joined by spaces, is exactly the value
#   ~   every line it shows matches the extended regex whole (and it shows one)
#   <=  the one version it shows is at most the value
#   in  every line it shows is a line of the file named by the value
# With VENDOR_EXPORTS (the host vendor's FMWrapper export list), the plug-ins'
# FM_* imports must all be in it, or the host would refuse to load them.
# Prints every row that fails with what was found, and fails if any did.
set -euo pipefail
dist=${1:?usage: check_dist.sh DIST_DIR VERSION}
v=${2:?usage: check_dist.sh DIST_DIR VERSION}
vendor_exports=${3:-}
pe_objdump=x86_64-w64-mingw32-objdump
export LC_ALL=C

# ---- what a file shows, one item a line -------------------------------------------
is_pe() { case "$1" in *.fmx64) true ;; *) false ;; esac; }
machine() {
  if is_pe "$1"; then "$pe_objdump" -f "$1" | sed -n 's/^architecture: \([^,]*\),.*/\1/p'
  else readelf -h "$1" | sed -n 's/^ *Machine: *//p'; fi
}
exports() {
  if is_pe "$1"; then
    "$pe_objdump" -p "$1" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/s/^[[:space:]]*\[ *[0-9]*\] //p'
  else readelf --dyn-syms -W "$1" | awk '$7 != "UND" && $7 != "Ndx" && ($5 == "GLOBAL" || $5 == "WEAK") { sub(/@.*/, "", $8); print $8 }'; fi
}
imports() { "$pe_objdump" -p "$1" | sed -n 's/^[[:space:]]*DLL Name: //p'; }
fm_imports() {
  if is_pe "$1"; then "$pe_objdump" -p "$1" | sed -n '/DLL Name: FMWrapper.dll/,/^$/s/.*[[:space:]]\(FM_[A-Za-z0-9_]*\)$/\1/p'
  else readelf --dyn-syms -W "$1" | awk '$7 == "UND" && $8 ~ /^FM_/ { print $8 }'; fi
}
dynamic() { readelf -d "$1" | sed -n "s/.*($2) *[^[]*\[\(.*\)\]/\1/p"; }
needed() { dynamic "$1" NEEDED; }
soname() { dynamic "$1" SONAME; }
runpath() { dynamic "$1" RUNPATH; dynamic "$1" RPATH; }
# Which library each undefined symbol comes from (by its name or version);
# a symbol that fits none is shown by its own name.
undefined_from() {
  readelf --dyn-syms -W "$1" | awk '$7 == "UND" && $8 != "" {
    s = $8
    if (s ~ /^FM_/) print "FMWrapper"; else if (s ~ /^jack_/) print "libjack"
    else if (s ~ /@GLIBC_/) print "libc"; else if (s ~ /@(GLIBCXX|CXXABI)_/) print "libstdc++"
    else if (s ~ /@GCC_/) print "libgcc_s"; else if (s ~ /@ALSA_/) print "libasound"
    else if ($5 == "WEAK") print "weak"; else print s }' | sort -u
}
highest() { readelf -V "$1" | sed -n "s/.*Name: $2_\([0-9.]*\) .*/\1/p" | sort -uV | tail -n1; }
glibc() { highest "$1" GLIBC; }
glibcxx() { highest "$1" GLIBCXX; }
stripped() {
  if is_pe "$1"; then "$pe_objdump" -h "$1" | grep -q ' \.debug_' && echo debug || echo yes
  else readelf -S -W "$1" | grep -qE ' \.(symtab|debug_info) ' && echo symbols || echo yes; fi
}
# The version resource's FILEVERSION: the fixed part follows its signature
# 0xFEEF04BD; its two 32-bit words hold major<<16|minor and patch<<16|build.
fileversion() {
  local at w
  at=$(grep -obUaP '\xbd\x04\xef\xfe' "$1" | head -n1 | cut -d: -f1)
  [ -n "$at" ] || return 0
  read -ra w < <(od -An -tu2 -j $((at + 8)) -N 8 "$1")
  echo "${w[1]}.${w[0]}.${w[3]}.${w[2]}"
}
deb_field() { dpkg-deb -f "$1" "$2"; }
deb_arch() { deb_field "$1" Architecture; }
deb_depends() { deb_field "$1" Depends; }
# Regular files: mode, owner and path.
deb_files() { dpkg-deb -c "$1" | sed -nE 's/^(-\S+)\s+(\S+)\s+\S+\s+\S+\s+\S+\s+(.*)$/\1 \2 \3/p'; }
deb_postinst() { dpkg-deb --ctrl-tarfile "$1" | tar -xOf - ./postinst; }
# Where the package puts a library named like the host vendor's.
fmwrapper_at() { dpkg-deb -c "$1" | grep -o '\./.*libFMWrapper[^ ]*$' || true; }
# Anything that would add a folder to the library path.
ld_conf() { dpkg-deb -c "$1" | grep -o '\./etc/ld\.so\.conf.*' || true; }

# ---- the rows -----------------------------------------------------------------------
win="Velkora-$v-windows-x64/Velkora.fmx64"
x64="Velkora-$v-linux-x86_64/Velkora.fmx"
arm="Velkora-$v-linux-arm64/Velkora.fmx"
ext="./opt/FileMaker/FileMaker Server/Database Server/Extensions/Velkora.fmx"
needed_ok='libFMWrapper\.so|libc\.so\.6|libm\.so\.6|libstdc\+\+\.so\.6|libgcc_s\.so\.1|libasound\.so\.2|libjack\.so\.0'
from_ok='FMWrapper|libc|libstdc\+\+|libgcc_s|libasound|libjack|weak'
# The C library as new as the plug-in's symbols need; the ALSA and JACK client
# libraries under the names Ubuntu 22.04 and 24.04 use.
depends() {
  echo "libc6 (>= $(glibc "$dist/$1" 2>/dev/null)), libstdc++6, libgcc-s1, libasound2 | libasound2t64, libjack-jackd2-0 | libjack0"
}
rows=$(cat <<ROWS
$win|machine|=|i386:x86-64
$win|exports|=|FMExternCallProc
$win|imports|~|(FMWrapper|KERNEL32|msvcrt|USER32|ADVAPI32|WINMM)\.dll
$win|fileversion|=|$v.0
$win|stripped|=|yes
$x64|machine|=|Advanced Micro Devices X86-64
$arm|machine|=|AArch64
$x64 $arm|exports|=|FMExternCallProc
$x64 $arm|needed|~|$needed_ok
$x64 $arm|soname|=|$v
$x64 $arm|runpath|=|/opt/FileMaker/lib
$x64 $arm|undefined_from|~|$from_ok
$x64 $arm|glibc|<=|2.35
$x64 $arm|glibcxx|<=|3.4.30
$x64 $arm|stripped|=|yes
velkora-server_${v}_amd64.deb|deb_arch|=|amd64
velkora-server_${v}_arm64.deb|deb_arch|=|arm64
velkora-server_${v}_amd64.deb|deb_depends|=|$(depends "$x64")
velkora-server_${v}_arm64.deb|deb_depends|=|$(depends "$arm")
velkora-server_${v}_amd64.deb velkora-server_${v}_arm64.deb|deb_files|=|-rwxr-xr-x root/root $ext
velkora-toolkit_${v}_amd64.deb|fmwrapper_at|=|./usr/lib/velkora/libFMWrapper.so
velkora-toolkit_${v}_amd64.deb|ld_conf|=|
ROWS
)
if [ -n "$vendor_exports" ]; then
  rows+=$'\n'"$win $x64 $arm|fm_imports|in|$vendor_exports"
fi

failed=0 rows_run=0
while IFS='|' read -r files what op want; do
  for f in $files; do
    rows_run=$((rows_run + 1))
    path=$dist/$f
    if [ ! -f "$path" ]; then echo "FAIL $f: missing"; failed=$((failed + 1)); continue; fi
    got=$("$what" "$path" 2>&1) || { echo "FAIL $f $what: $got"; failed=$((failed + 1)); continue; }
    ok=0
    case "$op" in
      =) [ "$(echo "$got" | paste -sd' ')" = "$want" ] && ok=1 ;;
      '~') [ -n "$got" ] && ! echo "$got" | grep -qvxE "$want" && ok=1 ;;
      '<=') [ -n "$got" ] && [ "$(printf '%s\n%s\n' "$got" "$want" | sort -V | tail -n1)" = "$want" ] && ok=1 ;;
      in) [ -n "$got" ] && got=$(comm -23 <(echo "$got" | sort -u) <(sort -u "$want")) && [ -z "$got" ] && ok=1 ;;
    esac
    if [ "$ok" -eq 1 ]; then echo "ok   $f $what $op $want"
    else echo "FAIL $f $what $op $want: found $(echo "$got" | paste -sd' ')"; failed=$((failed + 1)); fi
  done
done <<<"$rows"
# The postinst gives the server's group read and execute where the group exists.
for deb in "$dist"/velkora-server_*.deb; do
  rows_run=$((rows_run + 1))
  script=$(deb_postinst "$deb")
  if echo "$script" | sh -n && echo "$script" | grep -q 'chgrp fmsadmin' && echo "$script" | grep -q 'getent group fmsadmin'; then
    echo "ok   $(basename "$deb") postinst sets group fmsadmin where it exists"
  else echo "FAIL $(basename "$deb") postinst: no group fmsadmin step"; failed=$((failed + 1)); fi
done
rows_run=$((rows_run + 1))
if (cd "$dist" && sha256sum --quiet -c SHA256SUMS); then echo "ok   SHA256SUMS"
else echo "FAIL SHA256SUMS"; failed=$((failed + 1)); fi
echo "dist: $((rows_run - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]

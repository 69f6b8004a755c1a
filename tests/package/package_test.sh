#!/usr/bin/env bash
# Builds the Debian package from a build folder and checks what it holds:
# the program, the archive library (with its soname), the desktop entry, the
# icons, the metainfo and the manual page; that the desktop entry passes
# desktop-file-validate and the metainfo appstreamcli validate; and that the
# package depends on the libraries the archive library links (lhasa) and on
# the runtime packages beyond the libraries.
#   package_test.sh BUILD_DIR CPACK
# Exits 77 (skipped) with the reason when a tool is missing.
set -euo pipefail
build=$1 cpack=$2

missing=()
for tool in dpkg-deb dpkg-shlibdeps desktop-file-validate appstreamcli; do
  command -v $tool > /dev/null || missing+=("$tool")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "SKIPPED: the package test needs ${missing[*]}" \
       "(Debian packages dpkg-dev, desktop-file-utils, appstream; scripts/setup.sh installs them)"
  exit 77
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/trovik32-package.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" > "$work/cpack.log" 2>&1 \
  || { cat "$work/cpack.log"; echo "FAIL: cpack -G DEB"; exit 1; }
debs=("$work"/out/trovik32_*_*.deb)
[ -f "${debs[0]}" ] || { ls -R "$work/out"; echo "FAIL: no trovik32_VERSION_ARCH.deb"; exit 1; }
deb=${debs[0]}
echo "built $(basename "$deb")"

dpkg-deb -c "$deb" | awk '{ print $6 }' | sed 's|^\./|/|' > "$work/contents"
expect() {  # a path pattern (extended regex) that one entry must match
  grep -Eq "^$1\$" "$work/contents" || fail "the package lacks $1"
}
expect '/usr/bin/trovik32'
expect '/usr/lib/([a-z0-9_]+-linux-gnu[a-z0-9_]*/)?libunlha32\.so\.1(\.[0-9]+)*'
expect '/usr/lib/([a-z0-9_]+-linux-gnu[a-z0-9_]*/)?libunlha32\.so'
expect '/usr/share/applications/trovik32\.desktop'
expect '/usr/share/icons/hicolor/scalable/apps/trovik32\.svg'
expect '/usr/share/icons/hicolor/48x48/apps/trovik32\.png'
expect '/usr/share/icons/hicolor/128x128/apps/trovik32\.png'
expect '/usr/share/metainfo/[A-Za-z0-9.]+\.metainfo\.xml'
expect '/usr/share/man/man1/trovik32\.1\.gz'
expect '/usr/share/doc/trovik32/copyright'
expect '/usr/share/doc/trovik32/changelog\.gz'
if grep -q '^/usr/local' "$work/contents"; then fail "the package installs below /usr/local"; fi

mkdir "$work/root"
dpkg-deb -x "$deb" "$work/root"
desktop-file-validate "$work/root/usr/share/applications/trovik32.desktop" \
  || fail "desktop-file-validate rejects the desktop entry"
grep -q '^Icon=trovik32$' "$work/root/usr/share/applications/trovik32.desktop" \
  || fail "the desktop entry does not name the icon trovik32"
for m in "$work"/root/usr/share/metainfo/*.metainfo.xml; do
  appstreamcli validate --no-net "$m" || fail "appstreamcli validate rejects $(basename "$m")"
done
lib=$(find "$work/root/usr/lib" -name 'libunlha32.so.1*' -type f | head -1)
soname=$( [ -z "$lib" ] || objdump -p "$lib" | awk '/SONAME/ { print $2 }')
[ "$soname" = libunlha32.so.1 ] || fail "libunlha32's soname is '$soname', not libunlha32.so.1"
if command -v file > /dev/null && file -L "$work/root/usr/bin/trovik32" | grep -q 'not stripped'; then
  fail "the program is not stripped"
fi

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for p in liblhasa0 'libqt6widgets6(t64)?' fonts-ipafont-gothic qt6-translations-l10n xdg-utils qt6-qpa-plugins; do
  echo "$depends" | tr ',' '\n' | grep -Eq "^ *$p( |\$)" || fail "Depends lacks $p"
done

[ $failures -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "package checks passed"

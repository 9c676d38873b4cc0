#!/usr/bin/env bash
# Release artefacts in dist/: the Windows zip (the .exe files exactly as the
# Windows build made and tested them), the Debian package of the Linux
# programs, and SHA256SUMS. Expects `make build` and `make windows` done.
set -euo pipefail
cd "$(dirname "$0")/.."

version=$(sed -n 's/.*kVersion = "\([^"]*\)".*/\1/p' src/core/version.h)
[ -n "$version" ] || { echo "dist: no version in src/core/version.h" >&2; exit 1; }
linux=build/linux/bin
windows=build/windows/bin
for f in "$linux/vantrel-http" "$linux/vantrel-https" "$windows/vantrel-http.exe" "$windows/vantrel-https.exe"; do
  [ -f "$f" ] || { echo "dist: $f is missing; run make build and make windows first" >&2; exit 1; }
done
for f in /usr/share/doc/libssl3/copyright /usr/share/doc/libqrencode4/copyright /usr/share/doc/libdeflate0/copyright \
         /usr/share/common-licenses/Apache-2.0 /usr/share/common-licenses/LGPL-2.1; do
  [ -f "$f" ] || { echo "dist: $f is missing (packages libssl3, libqrencode4, libdeflate0, base-files)" >&2; exit 1; }
done

# The .exe files stand alone: they may import Windows' own DLLs and no other.
system_dlls="advapi32.dll bcrypt.dll comctl32.dll crypt32.dll gdi32.dll iphlpapi.dll kernel32.dll msvcrt.dll"
system_dlls="$system_dlls ole32.dll shell32.dll shlwapi.dll user32.dll ws2_32.dll"
for exe in "$windows/vantrel-http.exe" "$windows/vantrel-https.exe"; do
  for dll in $(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z'); do
    case " $system_dlls " in
      *" $dll "*) ;;
      *) echo "dist: $exe imports $dll, which is not part of Windows' own set" >&2; exit 1 ;;
    esac
  done
done

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
rm -rf dist
mkdir -p dist

# ---- Windows zip ----
win="$stage/vantrel-$version-windows-x64"
mkdir -p "$win/licenses"
cp "$windows/vantrel-http.exe" "$windows/vantrel-https.exe" "$win/"
sed "s/@VERSION@/$version/g" packaging/README-windows.txt | sed 's/$/\r/' > "$win/README.txt"
# The Windows libraries are built from the same Debian source packages.
{ cat /usr/share/doc/libssl3/copyright; echo; echo "----"; echo; cat /usr/share/common-licenses/Apache-2.0; } |
  sed 's/$/\r/' > "$win/licenses/OpenSSL.txt"
{ cat /usr/share/doc/libqrencode4/copyright; echo; echo "----"; echo; cat /usr/share/common-licenses/LGPL-2.1; } |
  sed 's/$/\r/' > "$win/licenses/libqrencode.txt"
sed 's/$/\r/' /usr/share/doc/libdeflate0/copyright > "$win/licenses/libdeflate.txt"
(cd "$stage" && zip -qrX "$OLDPWD/dist/vantrel-$version-windows-x64.zip" "$(basename "$win")")

# ---- Debian package ----
pkg="$stage/deb"
doc="$pkg/usr/share/doc/vantrel"
install -d "$pkg/DEBIAN" "$pkg/usr/bin" "$pkg/usr/share/man/man1" "$doc"
for name in vantrel-http vantrel-https; do
  install -m 0755 "$linux/$name" "$pkg/usr/bin/$name"
  strip --strip-unneeded --remove-section=.comment --remove-section=.note "$pkg/usr/bin/$name"
done
manpage() {  # name scheme ports other detail
  sed -e "s/@NAME@/$1/g" -e "s/@VERSION@/$version/g" -e "s/@SCHEME@/$2/g" -e "s/@PORTS@/$3/g" \
      -e "s/@OTHER@/$4/g" -e "s|@DETAIL@|$5|" packaging/vantrel.1.in | gzip -9n > "$pkg/usr/share/man/man1/$1.1.gz"
}
manpage vantrel-https HTTPS "443 for root, else 8443" vantrel-http \
  "It makes its own self\\\\-signed certificate on the first start; browsers warn about it once."
manpage vantrel-http HTTP "80 for root, else 8080" vantrel-https \
  "Traffic is not encrypted: use it on networks you trust, or use vantrel\\\\-https."
install -m 0644 packaging/copyright "$doc/copyright"
sed -e "s/@VERSION@/$version/g" -e "s/@DATE@/$(date -R -u -d "@$(git log -1 --format=%ct 2>/dev/null || date +%s)")/" \
  packaging/changelog | gzip -9n > "$doc/changelog.gz"
chmod 0644 "$doc/changelog.gz" "$pkg"/usr/share/man/man1/*.gz

# dpkg-shlibdeps reads the package list of a source tree: a minimal one.
mkdir -p "$stage/src/debian"
printf 'Source: vantrel\n\nPackage: vantrel\nArchitecture: amd64\n' > "$stage/src/debian/control"
depends=$(cd "$stage/src" && dpkg-shlibdeps -O "$pkg/usr/bin/vantrel-http" "$pkg/usr/bin/vantrel-https" |
          sed -n 's/^shlibs:Depends=//p')
# The thumbnails' library must come along with the package.
case "$depends" in
  *libvips42*) ;;
  *) echo "dist: the package would not depend on libvips42 (Depends: $depends)" >&2; exit 1 ;;
esac
size=$(du -sk --exclude=DEBIAN "$pkg" | cut -f1)
cat > "$pkg/DEBIAN/control" <<CONTROL
Package: vantrel
Version: $version
Architecture: amd64
Maintainer: Vantrel PRO team <vantrel@example.org>
Installed-Size: $size
Depends: $depends
Section: net
Priority: optional
Description: serve one folder to browsers on the local network
 Vantrel PRO moves files between this computer and the phones and laptops
 around it: open the address it prints (or scan its QR code) in a browser,
 log in with the 6-digit PIN, and browse, download, view, upload, delete and
 share the files of one folder.
 .
 vantrel-https serves HTTPS with its own certificate; vantrel-http serves
 plain HTTP.
CONTROL
(cd "$pkg" && find usr -type f -print0 | sort -z | xargs -0 md5sum > DEBIAN/md5sums)
chmod 0644 "$pkg/DEBIAN/control" "$pkg/DEBIAN/md5sums"
find "$pkg" -type d -exec chmod 0755 {} +
dpkg-deb --root-owner-group -Zxz --build "$pkg" "dist/vantrel_${version}_amd64.deb" >/dev/null

(cd dist && sha256sum "vantrel-$version-windows-x64.zip" "vantrel_${version}_amd64.deb" > SHA256SUMS)
ls -l dist

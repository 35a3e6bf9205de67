#!/bin/sh
# Builds the Debian package from the build directory into a temporary folder
# and checks it: the files it lists (dpkg-deb -c), its dependencies, that it
# has no maintainer scripts, and lintian finds no error (warnings are shown).
# Exit 77 (skipped) only when a tool is not installed.
# Usage: deb-check.sh BUILD_DIR VERSION
set -u
build=$1 version=$2

for tool in cpack dpkg-deb dpkg-shlibdeps lintian strip; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "skipped: $tool is not installed (scripts/install-deps installs it)"
    exit 77
  fi
done

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failed=0
fail() {
  echo "FAIL: $*"
  failed=1
}

if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/out" >"$tmp/cpack.log" 2>&1; then
  cat "$tmp/cpack.log"
  echo "FAIL: cpack"
  exit 1
fi
arch=$(dpkg --print-architecture)
deb=$tmp/out/orvane_${version}_${arch}.deb
if [ ! -f "$deb" ]; then
  ls "$tmp/out"
  echo "FAIL: no $deb"
  exit 1
fi

# Contents: everything under /usr, owned by root, the files the install has.
dpkg-deb -c "$deb" >"$tmp/contents"
awk '$2 != "root/root" {print "not root-owned: " $0}' "$tmp/contents" | grep . && fail "ownership"
awk '{print $6}' "$tmp/contents" | grep -v '^\./usr/' | grep -vx './' && fail "files outside /usr"
for f in usr/bin/orvane usr/bin/orvane-cli usr/share/applications/orvane.desktop \
  usr/share/mime/packages/orvane.xml usr/share/metainfo/orvane.metainfo.xml \
  usr/share/icons/hicolor/48x48/apps/orvane.png \
  usr/share/icons/hicolor/scalable/mimetypes/application-x-orvane-project.svg \
  usr/share/man/man1/orvane.1.gz usr/share/man/man1/orvane-cli.1.gz \
  usr/share/doc/orvane/copyright usr/share/doc/orvane/changelog.gz; do
  grep -q " \./$f\$" "$tmp/contents" || fail "the package lacks /$f"
done
count=$(grep -vc '/$' "$tmp/contents")
[ "$count" -eq 25 ] || fail "the package holds $count files, not 25"

# Control: dependencies found by dpkg-shlibdeps, plus the run-time plug-ins;
# the fonts recommended; no maintainer scripts.
depends=$(dpkg-deb -f "$deb" Depends)
for d in libqt6widgets6 libqt6network6 libc6 qt6-qpa-plugins; do
  printf '%s\n' "$depends" | grep -q "$d" || fail "Depends lacks $d: $depends"
done
dpkg-deb -f "$deb" Recommends | grep -q fonts-noto-cjk || fail "fonts-noto-cjk is not recommended"
dpkg-deb -e "$deb" "$tmp/control"
extra=$(ls "$tmp/control" | grep -vx -e control -e md5sums)
[ -z "$extra" ] || fail "control files beyond control and md5sums: $extra"

# lintian: errors fail, warnings are reported.
lintian --tag-display-limit 0 "$deb" >"$tmp/lintian" 2>&1
cat "$tmp/lintian"
grep -q '^E: ' "$tmp/lintian" && fail "lintian reports errors"

[ $failed -eq 0 ] && echo "$(basename "$deb"): all good"
exit $failed

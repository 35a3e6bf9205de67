#!/bin/sh
# Installs the build into a temporary DESTDIR under /usr and checks what
# arrived there with Debian's own tools: the file list, the desktop entry,
# the AppStream metainfo, the MIME type (resolved by GIO on a real file), the
# icons' sizes and both man pages. Exit 77 (skipped) only when a tool is not
# installed. Usage: install-check.sh BUILD_DIR VERSION
set -u
build=$1 version=$2

for tool in desktop-file-validate appstreamcli xmllint update-mime-database gio man gzip; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "skipped: $tool is not installed (scripts/install-deps installs it)"
    exit 77
  fi
done

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
root=$tmp/root
failed=0
fail() {
  echo "FAIL: $*"
  failed=1
}

if ! DESTDIR=$root cmake --install "$build" --prefix /usr >"$tmp/install.log" 2>&1; then
  cat "$tmp/install.log"
  echo "FAIL: cmake --install"
  exit 1
fi

# The installed files, exactly.
expected=$tmp/expected
{
  echo usr/bin/orvane
  echo usr/bin/orvane-cli
  echo usr/share/applications/orvane.desktop
  echo usr/share/doc/orvane/changelog.gz
  echo usr/share/doc/orvane/copyright
  for size in 16 22 32 48 64 128 256; do
    echo "usr/share/icons/hicolor/${size}x${size}/apps/orvane.png"
    echo "usr/share/icons/hicolor/${size}x${size}/mimetypes/application-x-orvane-project.png"
  done
  echo usr/share/icons/hicolor/scalable/apps/orvane.svg
  echo usr/share/icons/hicolor/scalable/mimetypes/application-x-orvane-project.svg
  echo usr/share/man/man1/orvane-cli.1.gz
  echo usr/share/man/man1/orvane.1.gz
  echo usr/share/metainfo/orvane.metainfo.xml
  echo usr/share/mime/packages/orvane.xml
} | LC_ALL=C sort >"$expected"
(cd "$root" && find . ! -type d | sed 's|^\./||' | LC_ALL=C sort) >"$tmp/actual"
if ! diff -u "$expected" "$tmp/actual"; then
  fail "installed files differ from the expected list (- expected, + installed)"
fi
for exe in orvane orvane-cli; do
  [ -x "$root/usr/bin/$exe" ] || fail "usr/bin/$exe is not executable"
done
"$root/usr/bin/orvane-cli" --help >/dev/null || fail "the installed orvane-cli --help fails"

share=$root/usr/share
# Desktop entry: no errors, warnings or hints, and the fields the menu and the
# file manager rely on.
desktop=$share/applications/orvane.desktop
out=$(desktop-file-validate "$desktop" 2>&1)
if [ $? -ne 0 ] || [ -n "$out" ]; then
  fail "desktop-file-validate: $out"
fi
for line in 'Exec=orvane %f' 'Icon=orvane' 'MimeType=application/x-orvane-project;' \
  'Categories=Office;' 'StartupWMClass=orvane' 'Name[ja]=Orvane' \
  'Comment[ja]=アイデアを集めて整理するアウトライナ'; do
  grep -qxF "$line" "$desktop" || fail "the desktop entry lacks the line $line"
done

# AppStream: the only finding allowed is the ID not being in reverse-DNS form;
# it stays "orvane", the ID of the desktop entry the program writes itself.
metainfo=$share/metainfo/orvane.metainfo.xml
out=$(appstreamcli validate --no-net --pedantic --no-color "$metainfo" 2>&1)
rest=$(printf '%s\n' "$out" | grep -E '^[EWIP]:' | grep -v 'cid-desktopapp-is-not-rdns')
if [ -n "$rest" ]; then
  fail "appstreamcli validate: $out"
fi
grep -qF "<release version=\"$version\"" "$metainfo" || fail "the metainfo has no release $version"
grep -qF '<caption>' "$metainfo" || fail "the metainfo has no screenshot caption"

# MIME type: well-formed XML, then a database built from the installed
# package alone resolves a shortcut file to the type.
mimexml=$share/mime/packages/orvane.xml
xmllint --noout "$mimexml" "$metainfo" || fail "xmllint"
mkdir -p "$tmp/xdg/mime/packages" "$tmp/home"
cp "$mimexml" "$tmp/xdg/mime/packages/"
if ! XDG_DATA_DIRS="$tmp/xdg" XDG_DATA_HOME="$tmp/home" update-mime-database "$tmp/xdg/mime" >"$tmp/umd.log" 2>&1 || [ -s "$tmp/umd.log" ]; then
  fail "update-mime-database: $(cat "$tmp/umd.log")"
fi
printf '[Project]\r\nDirectory=/home/user/Ideas/\r\n' >"$tmp/x.ida"
type=$(env XDG_DATA_DIRS="$tmp/xdg" XDG_DATA_HOME="$tmp/home" \
  gio info -a standard::content-type "$tmp/x.ida" 2>&1 | sed -n 's/^ *standard::content-type: //p')
[ "$type" = application/x-orvane-project ] || fail "x.ida resolves to '$type'"
grep -qF '<icon name="application-x-orvane-project"/>' "$mimexml" || fail "the MIME type names no icon"
grep -qF 'xml:lang="ja"' "$mimexml" || fail "the MIME type has no Japanese comment"

# Icons: each PNG is as large as the directory it is in says.
for png in "$share"/icons/hicolor/*/*/*.png; do
  dir=$(basename "$(dirname "$(dirname "$png")")")
  size=$(od -An -tu1 -j16 -N8 "$png" | awk '{print ($1*16777216+$2*65536+$3*256+$4) "x" ($5*16777216+$6*65536+$7*256+$8)}')
  [ "$size" = "$dir" ] || fail "$png is $size"
done
for svg in "$share"/icons/hicolor/scalable/*/*.svg; do
  xmllint --noout "$svg" || fail "xmllint $svg"
done

# Man pages: rendered without a single warning, each section present.
for page in orvane orvane-cli; do
  file=$share/man/man1/$page.1.gz
  errs=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$file" 2>&1 >"$tmp/$page.txt")
  [ -z "$errs" ] || fail "man -l $page: $errs"
  for section in NAME SYNOPSIS DESCRIPTION 'EXIT STATUS' ENVIRONMENT FILES 'SEE ALSO'; do
    grep -q "^$section" "$tmp/$page.txt" || fail "$page(1) has no $section section"
  done
done
# Installed under /usr: the page names the files there, whatever the build's prefix.
grep -q "/usr/share/applications/orvane.desktop" "$tmp/orvane.txt" || fail "orvane(1): wrong paths"
grep -q "^       orvane DIR" "$tmp/orvane.txt" || fail "orvane(1) does not show orvane DIR"
for command in $("$root/usr/bin/orvane-cli" --help | sed -n 's/^  \([a-z]*\) .*/\1/p'); do
  grep -q "^       $command [A-Z]" "$tmp/orvane-cli.txt" || fail "orvane-cli(1) does not describe '$command'"
done

[ $failed -eq 0 ] && echo "installed files and their validation: all good"
exit $failed

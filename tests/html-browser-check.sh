#!/bin/sh
# Exports a small project with Japanese texts and markup-like item text as a
# frame set and as one HTML page, and lets a real browser read the pages:
# Chromium's DOM (printed as UTF-8) must hold the Japanese texts, and the
# item text "<script>..." and "a<b" as text, not as elements.
# Usage: html-browser-check.sh ORVANE_CLI. Skipped (77) without chromium.
set -eu

cli=$1
browser=$(command -v chromium || true)
[ -n "$browser" ] || { echo "chromium is not installed: skipped"; exit 77; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
export XDG_CONFIG_HOME="$work/config" # the export templates: defaults
proj="$work/proj"
mkdir -p "$proj" "$XDG_CONFIG_HOME"

# A file in the project's code page with CR LF line ends.
sjis() { printf "$2" | sed 's/$/\r/' | iconv -f UTF-8 -t CP932 >"$proj/$1"; }

sjis MainTree.dat '[Root]\nLastIndex=1\nExpanded=1\nChild01=Root-C00000\nFileName=r.txt\n[Root-C00000]\nFileName=c.txt\n'
sjis r.txt 'Title:企画書\nUpdate:2026/12/07 12:00:00\nFirstEdition:2026/12/01 09:30:00\nEdition:1\nToDo:false\nCompletion:false\nAuthor:企画部\nLine:0\nColumn:1\n\n日本語の本文です\n'
sjis c.txt 'Title:子の項目\nUpdate:2026/12/07 12:01:00\nFirstEdition:2026/12/02 10:00:00\nEdition:1\nToDo:true\nCompletion:false\nAuthor:企画部\nLine:0\nColumn:1\n\n<script>document.title="ran"</script>\na<b & c\n'

"$cli" export "$proj" --frames "$work/site"
"$cli" export "$proj" --html "$work/page.html"

fail=0
dom() {
  "$browser" --headless --no-sandbox --disable-gpu --user-data-dir="$work/chrome" \
    --dump-dom "file://$1" 2>/dev/null
}
# Every further argument must appear in the DOM of the page, as it stands.
expect() {
  page=$1
  shift
  out=$(dom "$page")
  for want in "$@"; do
    if ! printf '%s' "$out" | grep -qF -- "$want"; then
      echo "FAIL: $page: DOM lacks: $want"
      fail=1
    fi
  done
  if printf '%s' "$out" | grep -qF '<script>'; then
    echo "FAIL: $page: the item text became a script element"
    fail=1
  fi
}

expect "$work/site/index.html" '<title>企画書</title>' '<frame src="r.html" name="main">'
expect "$work/site/index0.html" '>企画書</a>' '　┗<a href="c.html" target="main">子の項目<b>(ToDo)</b></a>'
expect "$work/site/c.html" '<h2>子の項目</h2>' '著者:企画部' \
  '&lt;script&gt;document.title="ran"&lt;/script&gt;<br>' 'a&lt;b &amp; c<br>'
expect "$work/site/r.html" '日本語の本文です<br>'
expect "$work/page.html" '<h1> 企画書 </h1>' '日本語の本文です<br>' \
  '&lt;script&gt;document.title="ran"&lt;/script&gt;<br>' 'a&lt;b &amp; c<br>'

[ $fail -eq 0 ] && echo "all pages read as exported"
exit $fail

#!/bin/sh
# Every #include "dir/..." of src/ names a folder at or below the including
# one: store < engine < search < export < ui < attach < editor < catalogue
# < app; cli sits beside app and, like the core, has no Qt.
cd "$1/src" || exit 2
rank() {
  case "$1" in
  store) echo 0 ;; engine) echo 1 ;; search) echo 2 ;; export) echo 3 ;; ui) echo 4 ;;
  attach) echo 5 ;; editor) echo 6 ;; catalogue) echo 7 ;; app | cli) echo 8 ;; *) echo 99 ;;
  esac
}
bad=0
for f in $(find . -name '*.cpp' -o -name '*.h'); do
  own=$(echo "$f" | cut -d/ -f2)
  for dep in $(sed -n 's|^#include "\([a-z]*\)/.*|\1|p' "$f" | sort -u); do
    [ "$dep" = "$own" ] && continue
    if [ "$(rank "$dep")" -ge "$(rank "$own")" ] || { [ "$own" = cli ] && [ "$(rank "$dep")" -ge 4 ]; }; then
      echo "$f includes $dep/: a layer above (or beside) $own/"
      bad=1
    fi
  done
done
qt=$(grep -ln '^#include <Q' store engine search export cli -r 2>/dev/null)
[ -n "$qt" ] && { echo "Qt in the Qt-free layers: $qt"; bad=1; }
exit $bad

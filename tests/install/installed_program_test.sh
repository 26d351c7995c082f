#!/usr/bin/env bash
# Installs the build into a fresh prefix and checks the installed program on its own.
set -uo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

if ! cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1; then
  cat "$work/install.log"
  echo "0 passed, 1 failed"
  exit 1
fi
program="$prefix/bin/Movinta6"
[ -x "$program" ] || fail "no program at $program"

# No installed file refers to the build tree, and the program looks for its library beside itself.
while IFS= read -r -d '' file; do
  if readelf -h "$file" >/dev/null 2>&1 && readelf -d "$file" 2>/dev/null | grep -F -q "$build"; then
    fail "$file refers to the build tree: $(readelf -d "$file" | grep -E 'R(UN)?PATH')"
  fi
done < <(find "$prefix" -type f -print0)
readelf -d "$program" | grep -E 'R(UN)?PATH' | grep -F -q '$ORIGIN/../lib' || fail "the program has no \$ORIGIN run path"
reeltide=$(env -u LD_LIBRARY_PATH ldd "$program" | awk '/libReeltide/ {print $3}')
case "$reeltide" in
  "$prefix"/*) ;;
  *) fail "libReeltide.so resolves to '$reeltide', not under the prefix" ;;
esac

# The desktop entry, its icon and the bus service file.
entry="$prefix/share/applications/com.larkspur.Movinta.desktop"
desktop-file-validate "$entry" || fail "desktop-file-validate rejects $entry"
icon=$(sed -n 's/^Icon=//p' "$entry")
for f in "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" "$prefix/share/icons/hicolor/256x256/apps/$icon.png"; do
  [ -s "$f" ] || fail "the entry's icon $f is not installed"
done
grep -q '^MimeType=image/gif;$' "$entry" || fail "the entry does not offer GIF images"
service="$prefix/share/dbus-1/services/com.larkspur.Movinta.service"
[ "$(sed -n 's/^Exec=//p' "$service")" = "$program --automation" ] || fail "service Exec is '$(sed -n 's/^Exec=//p' "$service")'"
ls "$prefix/share/movinta6/images/"*.gif >/dev/null 2>&1 || fail "no sample animations installed"

# A bus of its own that knows only the installed service: asking for the name starts the installed
# program, which answers and quits.
mkdir -p "$work/config" "$work/data" "$work/cache"
script='
app="--dest com.larkspur.Movinta --object-path /com/larkspur/Movinta/Application"
gdbus call --session --timeout 120 $app --method org.freedesktop.DBus.Properties.Get \
  com.larkspur.Movinta.Application VersionText > "$ANSWER" || status=1
pid=$(gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
  --method org.freedesktop.DBus.GetConnectionUnixProcessID com.larkspur.Movinta | sed -n "s/.*uint32 \\([0-9]*\\).*/\\1/p")
exe=$(readlink "/proc/$pid/exe" 2>/dev/null)
[ "$exe" = "$PROGRAM" ] || { echo "the bus started $exe"; status=1; }
gdbus call --session $app --method com.larkspur.Movinta.Application.Quit >/dev/null || status=1
for i in $(seq 300); do [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
[ -n "$pid" ] && kill -0 "$pid" 2>/dev/null && { kill -9 "$pid"; status=1; }
exit ${status:-0}
'
if ! env -u LD_LIBRARY_PATH -u DISPLAY -u WAYLAND_DISPLAY -u DBUS_SESSION_BUS_ADDRESS \
    QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" \
    XDG_CACHE_HOME="$work/cache" XDG_DATA_DIRS="$prefix/share" ANSWER="$work/answer" PROGRAM="$program" \
    dbus-run-session -- sh -c "$script"; then
  fail "the installed program did not answer on the bus"
fi
grep -q "<'" "$work/answer" 2>/dev/null || fail "VersionText answered '$(cat "$work/answer" 2>/dev/null)'"

[ "$failures" -eq 0 ]

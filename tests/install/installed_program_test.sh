#!/usr/bin/env bash
# Installs the build into a fresh prefix and checks the installed program on its own.
# Usage: installed_program_test.sh <build folder> <desktop probe add-in>
set -uo pipefail
build=$(cd "$1" && pwd)
probe=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A prefix with a blank, as users' folders have: the entry and the service file must quote it.
prefix="$work/Movinta prefix"
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

if ! cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1; then
  cat "$work/install.log"
  echo "0 passed, 1 failed"
  exit 1
fi
program="$prefix/bin/Movinta6"
[ -x "$program" ] || fail "no program at $program"

# The install lists every file it wrote, so that removing what it lists removes the installation.
sort -u "$build/install_manifest.txt" >"$work/listed"
find "$prefix" \( -type f -o -type l \) | sort >"$work/installed"
comm -13 "$work/listed" "$work/installed" | sed 's/^/  /' >"$work/unlisted"
comm -23 "$work/listed" "$work/installed" | sed 's/^/  /' >"$work/missing"
[ -s "$work/unlisted" ] && fail "installed but not in install_manifest.txt:$(printf '\n'; cat "$work/unlisted")"
[ -s "$work/missing" ] && fail "in install_manifest.txt but not installed:$(printf '\n'; cat "$work/missing")"

# No installed file refers to the build tree, and the program looks for its library beside itself.
while IFS= read -r -d '' file; do
  if readelf -h "$file" >/dev/null 2>&1 && readelf -d "$file" 2>/dev/null | grep -F -q "$build"; then
    fail "$file refers to the build tree: $(readelf -d "$file" | grep -E 'R(UN)?PATH')"
  fi
done < <(find "$prefix" -type f -print0)
readelf -d "$program" | grep -E 'R(UN)?PATH' | grep -F -q '$ORIGIN/../lib' || fail "the program has no \$ORIGIN run path"
reeltide=$(env -u LD_LIBRARY_PATH ldd "$program" | sed -n 's/^[[:space:]]*libReeltide[^ ]* => \(.*\) (0x[0-9a-f]*)$/\1/p')
case "$reeltide" in
  "$prefix"/*) ;;
  *) fail "libReeltide.so resolves to '$reeltide', not under the prefix" ;;
esac

# The pictures of the splash and the start page are data: they go with the program's other data.
[ -s "$prefix/share/movinta6/Tessary.rcc" ] || fail "Tessary.rcc is not in share/movinta6"
[ -e "$prefix/bin/Tessary.rcc" ] && fail "Tessary.rcc is installed among the programs"

# The desktop entry, its icon and the bus service file, each naming the installed program.
entry="$prefix/share/applications/com.larkspur.Movinta.desktop"
desktop-file-validate "$entry" || fail "desktop-file-validate rejects $entry"
icon=$(sed -n 's/^Icon=//p' "$entry")
for f in "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" "$prefix/share/icons/hicolor/256x256/apps/$icon.png"; do
  [ -s "$f" ] || fail "the entry's icon $f is not installed"
done
grep -q '^MimeType=image/gif;$' "$entry" || fail "the entry does not offer GIF images"
[ "$(sed -n 's/^Exec=//p' "$entry")" = "\"$program\" %f" ] || fail "entry Exec is '$(sed -n 's/^Exec=//p' "$entry")'"
[ "$(sed -n 's/^TryExec=//p' "$entry")" = "$program" ] || fail "entry TryExec is '$(sed -n 's/^TryExec=//p' "$entry")'"
# Qt names the windows' class on X11 after the application name.
[ "$(sed -n 's/^StartupWMClass=//p' "$entry")" = "GIF Movinta" ] || fail "the entry names another window class"
service="$prefix/share/dbus-1/services/com.larkspur.Movinta.service"
[ "$(sed -n 's/^Exec=//p' "$service")" = "\"$program\" --automation" ] ||
  fail "service Exec is '$(sed -n 's/^Exec=//p' "$service")'"
sample=$(ls "$prefix/share/movinta6/images/"*.gif 2>/dev/null | head -n 1)
[ -n "$sample" ] || fail "no sample animations installed"

# Drives one program on a bus of its own: started by asking for its name (activate) or by hand
# (start), it answers, loads the probe add-in, opens a sample and reports what the desktop sees.
mkdir -p "$work/addins" "$work/empty"
cp "$probe" "$work/addins/"
cat >"$work/drive.sh" <<'EOF'
app="--dest com.larkspur.Movinta --object-path /com/larkspur/Movinta/Application"
call() { gdbus call --session --timeout 120 $app --method "com.larkspur.Movinta.Application.$1" "$2"; }
status=0
if [ "$1" = start ]; then
  "$PROGRAM" --automation &
  gdbus wait --session --timeout 120 com.larkspur.Movinta || status=1
fi
gdbus call --session --timeout 120 $app --method org.freedesktop.DBus.Properties.Get \
  com.larkspur.Movinta.Application VersionText > "$ANSWER" || status=1
pid=$(gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
  --method org.freedesktop.DBus.GetConnectionUnixProcessID com.larkspur.Movinta | sed -n "s/.*uint32 \\([0-9]*\\).*/\\1/p")
exe=$(readlink "/proc/$pid/exe" 2>/dev/null)
[ "$exe" = "$PROGRAM" ] || { echo "the bus started $exe"; status=1; }
# Add-ins load once the main window is up.
probe="Plug-ins|Report Desktop Identity"
for i in $(seq 600); do call MenuExists "$probe" | grep -q true && break; sleep 0.1; done
call OpenFile "$SAMPLE" | grep -q true || { echo "the sample did not open"; status=1; }
item=$(call Menu "$probe" | sed -n "s/.*'\\(\\/[^']*\\)'.*/\\1/p")
gdbus call --session --timeout 120 --dest com.larkspur.Movinta --object-path "$item" \
  --method com.larkspur.Movinta.MenuItem.Execute >/dev/null || status=1
gdbus call --session $app --method com.larkspur.Movinta.Application.Quit >/dev/null || status=1
for i in $(seq 300); do [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
[ -n "$pid" ] && kill -0 "$pid" 2>/dev/null && { kill -9 "$pid"; status=1; }
exit $status
EOF
drive() {  # how, program, folder the bus looks for services in, name of the run
  local home="$work/home-$4"
  mkdir -p "$home/config" "$home/data" "$home/cache"
  if ! env -u LD_LIBRARY_PATH -u DISPLAY -u WAYLAND_DISPLAY -u DBUS_SESSION_BUS_ADDRESS \
      QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" \
      XDG_CACHE_HOME="$home/cache" XDG_DATA_DIRS="$3" ANSWER="$home/answer" PROGRAM="$2" SAMPLE="$sample" \
      MOVINTA6_ADDIN_PATH="$work/addins" MOVINTA_TEST_REPORT="$home/report" \
      MOVINTA_TEST_ICON="$prefix/share/icons/hicolor/256x256/apps/com.larkspur.Movinta.png" \
      dbus-run-session -- sh "$work/drive.sh" "$1"; then
    fail "the $4 program did not answer on the bus"
  fi
  grep -q "<'" "$home/answer" 2>/dev/null || fail "the $4 program's VersionText answered '$(cat "$home/answer" 2>/dev/null)'"
  # What the desktop sees: the program's icon on every window, the entry the windows belong to,
  # and the start page drawn from the pictures the program found.
  for expected in window_icon=set desktop_file=com.larkspur.Movinta start_page=shown document_icon=program; do
    grep -qx "$expected" "$home/report" 2>/dev/null ||
      fail "the $4 program reports $(grep "^${expected%%=*}=" "$home/report" 2>/dev/null || echo nothing), not $expected"
  done
}
drive activate "$program" "$prefix/share" installed
# The build tree's program finds its pictures beside itself and shows the same icon.
drive start "$build/editor/Movinta6" "$work/empty" build-tree

[ "$failures" -eq 0 ]

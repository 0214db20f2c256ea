#!/usr/bin/env bash
# The Debian package of this build tree: its files, its dependencies, the
# desktop entry, the manual page, the units and what lintian says of it;
# then the unpacked program, lying under a folder named usr, keeps its data
# in the user's folders and writes nothing beside itself. Without lintian or
# systemd-analyze the other checks still run, and the test reports a skip.
#   package_test.sh SOURCE_DIR BUILD_DIR VERSION
set -euo pipefail
src="$1" build="$2" version="$3"

for tool in dpkg-deb dpkg-shlibdeps help2man desktop-file-validate; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is missing (scripts/setup.sh installs it)"
    exit 77
  fi
done

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
skipped=()

VARN_BUILD_DIR="$build" "$src/scripts/package.sh" "$tmp/out" >"$tmp/package.log" 2>&1 || {
  cat "$tmp/package.log"
  echo "FAIL: scripts/package.sh"
  exit 1
}
shopt -s nullglob
debs=("$tmp/out/varn_${version}-"*"_$(dpkg --print-architecture).deb")
shopt -u nullglob
if [ ${#debs[@]} -ne 1 ]; then
  ls -l "$tmp/out"
  echo "FAIL: no varn_${version}-REVISION_ARCH.deb (contrib/debian/changelog needs an entry for $version on top)"
  exit 1
fi
deb="${debs[0]}"

# Exactly these files, nothing from the build or the tests.
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $NF}' | sort >"$tmp/files"
sort >"$tmp/expected" <<'LIST'
./usr/bin/varn
./usr/lib/systemd/system/varn.service
./usr/lib/systemd/system/varn@.service
./usr/share/applications/varn.desktop
./usr/share/doc/varn/changelog.Debian.gz
./usr/share/doc/varn/copyright
./usr/share/doc/varn/examples/varn-alerts.yml
./usr/share/doc/varn/examples/varn-user-pulse.conf
./usr/share/icons/hicolor/scalable/apps/varn.svg
./usr/share/lintian/overrides/varn
./usr/share/man/man1/varn.1.gz
LIST
diff -u "$tmp/expected" "$tmp/files" || fail "the package's file list"

depends="$(dpkg-deb -f "$deb" Depends)"
echo "Depends: $depends"
for lib in libqt6widgets6 libpulse0 libmp3lame0 libmpg123-0 libc6 adduser fonts-noto-cjk; do
  [[ ",$depends," =~ [,\ ]${lib}[\ \(,] ]] || fail "Depends lacks $lib"
done
[ "$(dpkg-deb -f "$deb" Section)" = sound ] || fail "Section is not sound"
debVersion="$(dpkg-deb -f "$deb" Version)"
[[ "$debVersion" == "$version"-* ]] || fail "Version $debVersion is not $version-REVISION"

dpkg-deb -e "$deb" "$tmp/control"
for script in postinst postrm; do
  [ -x "$tmp/control/$script" ] || fail "$script missing or not executable"
  sh -n "$tmp/control/$script" || fail "$script does not parse"
done

root="$tmp/root"
dpkg-deb -x "$deb" "$root"
exe="$root/usr/bin/varn"

# The package's version is its changelog's top entry.
top="$(zcat "$root/usr/share/doc/varn/changelog.Debian.gz" | head -n 1)"
[[ "$top" == "varn ($debVersion) "* ]] ||
  fail "the changelog's top entry, $top, is not version $debVersion (contrib/debian/changelog)"

# Errors and warnings fail; the overrides shipped in the package, if any,
# are the only exceptions.
if command -v lintian >/dev/null; then
  lintian --fail-on error,warning --tag-display-limit 0 "$deb" >"$tmp/lintian.log" 2>&1 ||
    { grep -v 'running with root privileges' "$tmp/lintian.log"; fail "lintian"; }
else
  skipped+=("lintian is missing (scripts/setup.sh installs it)")
fi

desktop-file-validate "$root/usr/share/applications/varn.desktop" >"$tmp/desktop.log" 2>&1 ||
  { cat "$tmp/desktop.log"; fail "desktop-file-validate"; }
grep -q '^<svg\|<svg ' "$root/usr/share/icons/hicolor/scalable/apps/varn.svg" || fail "the icon is no SVG"

# roff escapes dashes: compare the text without backslashes
zcat "$root/usr/share/man/man1/varn.1.gz" | tr -d '\134' >"$tmp/varn.1"
grep -q '^.TH VARN "1"' "$tmp/varn.1" || fail "the manual page has no title line"
for word in analyze wavinfo mpeginfo encode decode devices config app-folder varnaudio; do
  grep -q -- "$word" "$tmp/varn.1" || fail "the manual page does not mention $word"
done

# The units as systemd reads them, with the unpacked program and manual
# page, varn.service with the desktop user's drop-in.
if command -v systemd-analyze >/dev/null; then
  mkdir "$tmp/units"
  for unit in varn.service varn@.service; do
    sed "s|/usr/bin/varn|$exe|" "$root/usr/lib/systemd/system/$unit" >"$tmp/units/$unit"
  done
  cp "$tmp/units/varn@.service" "$tmp/units/varn@studio1.service"
  mkdir "$tmp/units/varn.service.d"
  cp "$root/usr/share/doc/varn/examples/varn-user-pulse.conf" "$tmp/units/varn.service.d/"
  (cd "$tmp/units" && MANPATH="$root/usr/share/man" \
     systemd-analyze verify ./varn.service ./varn@studio1.service) >"$tmp/verify.log" 2>&1 ||
    { cat "$tmp/verify.log"; fail "systemd-analyze verify"; }
  if [ -s "$tmp/verify.log" ]; then
    cat "$tmp/verify.log"
    fail "systemd-analyze verify complains"
  fi
else
  skipped+=("systemd-analyze is missing; the units are not verified")
fi

# The installed program, run as root, must still keep out of its folder.
(cd "$root" && find . | sort) >"$tmp/before"
export HOME="$tmp/home" XDG_DATA_HOME="$tmp/xdg" XDG_CONFIG_HOME="$tmp/config"
mkdir -p "$HOME"
"$exe" config set NumRec 2 || fail "config set exited $?"
[ "$("$exe" config get NumRec)" = 2 ] || fail "config get NumRec does not give 2"
"$exe" --headless --audio sim --duration 2 >"$tmp/headless.out" 2>"$tmp/headless.err" ||
  { cat "$tmp/headless.err"; fail "the headless run exited $?"; }
grep -q . "$tmp/headless.out" || fail "the headless run printed no event line"
(cd "$root" && find . | sort) >"$tmp/after"
diff -u "$tmp/before" "$tmp/after" || fail "the program wrote beside itself"
grep -q '^NumRec=2' "$tmp/config/varnaudio/varn.conf" || fail "NumRec is not in varn.conf"
ls "$tmp"/xdg/varnaudio/varn_data/varn*.txt >/dev/null 2>&1 ||
  { find "$tmp/xdg"; fail "no event file in XDG_DATA_HOME/varnaudio/varn_data"; }
# Without XDG_DATA_HOME: $HOME/.local/share.
env -u XDG_DATA_HOME "$exe" config list >/dev/null || fail "config list exited $?"
[ -d "$HOME/.local/share/varnaudio" ] || fail "no program folder under HOME/.local/share"

if [ "$failures" -ne 0 ]; then
  echo "package: $failures checks failed"
  exit 1
fi
if [ ${#skipped[@]} -ne 0 ]; then
  printf 'SKIP: %s\n' "${skipped[@]}"
  echo "package: $(basename "$deb") passed the checks that could run"
  exit 77
fi
echo "package: $(basename "$deb") passed every check"

#!/usr/bin/env bash
# The Debian package as a user meets it: made with cpack from this build tree, installed with
# apt-get into this machine, the installed program names its version and renders two frames from
# its installed data set in an empty folder, man finds its page; apt-get remove leaves nothing of
# it. Root only (exit 77 otherwise), and never on a machine where a vantrel package is installed
# already or where apt would have to fetch dependencies: it leaves the machine as it found it,
# also when it fails (the trap removes the package).
source "$(dirname "${BASH_SOURCE[0]}")/support/outer-timeout.sh"
set -u
program="$1"
build="$2"
skip() { echo "SKIP: $*"; exit 77; }
[ "$(id -u)" = 0 ] || skip "installs a package into the machine: root only"
for tool in cpack apt-get dpkg dpkg-shlibdeps; do
  command -v "$tool" >/dev/null || skip "$tool is missing (scripts/setup.sh installs it)"
done
dpkg-query -W -f='${Status}' vantrel 2>/dev/null | grep -q "installed" &&
  skip "a vantrel package is installed on this machine already; it is left alone"

work=$(mktemp -d)
installed=0
cleanup() {
  if [ $installed = 1 ] && dpkg-query -W -f='${Status}' vantrel 2>/dev/null | grep -q "installed"; then
    echo "removing the package left installed"
    apt-get remove -y -qq -o DPkg::Lock::Timeout=120 vantrel >/dev/null 2>&1 || dpkg --purge vantrel
  fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

start=$SECONDS
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack -G DEB"; }
deb=$(ls "$work/package"/vantrel_*_*.deb 2>/dev/null)
[ -n "$deb" ] || { cat "$work/cpack.log"; fail "no vantrel_<version>_<arch>.deb in $(ls "$work/package")"; }
echo "made $(basename "$deb") ($(( $(stat -c %s "$deb") / 1024 )) KiB) in $((SECONDS - start)) s"

# Recommends (ffmpeg, fonts) are not the package's to install here; without them everything the
# checks below run still works. Dependencies apt would have to download: said, and skipped.
apt_install=(apt-get install -y -q --no-install-recommends -o DPkg::Lock::Timeout=120 "$deb")
"${apt_install[@]}" -s >"$work/plan.log" 2>&1 || { cat "$work/plan.log"; fail "apt-get cannot install $(basename "$deb")"; }
others=$(awk '$1 == "Inst" && $2 != "vantrel" {print $2}' "$work/plan.log" | tr '\n' ' ')
[ -z "$others" ] || skip "apt-get would also install ${others}(not installed here; this check installs nothing else)"

installed=1
"${apt_install[@]}" >"$work/install.log" 2>&1 || { cat "$work/install.log"; fail "apt-get install ./$(basename "$deb")"; }
files=$(dpkg -L vantrel | while read -r path; do [ -f "$path" ] && echo "$path"; done)
for file in /usr/bin/vantrel /usr/bin/vantrel-stream /usr/share/vantrel/music.mp3 /usr/share/vantrel/midi.map \
            /usr/share/man/man1/vantrel.1.gz /usr/share/applications/vantrel.desktop \
            /usr/share/icons/hicolor/256x256/apps/vantrel.png /usr/share/doc/vantrel/copyright \
            /usr/share/doc/vantrel/changelog.gz /usr/share/metainfo/org.vantrelkelvara.vantrel.metainfo.xml; do
  grep -qx "$file" <<<"$files" || fail "the package did not install $file"
done
grep -q vantrel-datagen <<<"$files" && fail "the package holds the data generator"

version=$(/usr/bin/vantrel --version) || fail "/usr/bin/vantrel --version"
[ "$version" = "$("$program" --version)" ] || fail "installed '$version', built '$("$program" --version)'"
[[ "$version" =~ ^vantrel\ [0-9]+\.[0-9]+\.[0-9]+ ]] || fail "--version said '$version'"
/usr/bin/vantrel-stream --version | grep -q "^vantrel-stream " || fail "vantrel-stream --version"

mkdir "$work/empty"
(cd "$work/empty" && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy vantrel --frames out --from 10 --to 10.02 --fps 50) \
  >"$work/run.log" 2>&1 || { cat "$work/run.log"; fail "the installed vantrel --frames"; }
[ "$(ls "$work/empty/out" | wc -l)" -eq 2 ] || fail "expected 2 frames, got: $(ls "$work/empty/out")"
grep -q "^vantrel: made by $version" "$work/run.log" || { cat "$work/run.log"; fail "no version line under the summary"; }

[ "$(man -w vantrel 2>&1)" = /usr/share/man/man1/vantrel.1.gz ] || fail "man -w vantrel: $(man -w vantrel 2>&1)"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate /usr/share/applications/vantrel.desktop || fail "desktop-file-validate"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net /usr/share/metainfo/org.vantrelkelvara.vantrel.metainfo.xml >"$work/appstream.log" 2>&1 ||
    { cat "$work/appstream.log"; fail "appstreamcli validate"; }
fi

apt-get remove -y -q -o DPkg::Lock::Timeout=120 vantrel >"$work/remove.log" 2>&1 || { cat "$work/remove.log"; fail "apt-get remove vantrel"; }
installed=0
listed=$(dpkg -L vantrel 2>/dev/null) && fail "dpkg -L vantrel still lists: $listed"
left=$(while read -r file; do [ -e "$file" ] && echo "$file"; done <<<"$files")
[ -z "$left" ] || fail "left behind in /usr: $left"
[ -e /usr/share/vantrel ] && fail "/usr/share/vantrel is left behind"
echo "PASS: made, installed, run, found by man and removed in $((SECONDS - start)) s"

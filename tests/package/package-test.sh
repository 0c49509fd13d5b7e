#!/usr/bin/env bash
# The Debian package as a user meets it: its control fields and contents, then installed
# into a scratch root with dpkg (its maintainer scripts run there, with $DPKG_ROOT), the
# installed reelsmith-make making a movie from the machine-wide registration alone, and
# removal and purging leaving the registry clean.
# Usage: package-test.sh PACKAGE.deb SAMPLES_FOLDER
set -euo pipefail

deb=$1
samples=$(realpath "$2")
work=$(mktemp -d /tmp/reelsmith-package-test-XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
expect_in() { # TEXT PATTERN WHAT
  grep -qE -- "$2" <<<"$1" || fail "$3: no match for '$2'"
}

control=$(dpkg-deb -f "$deb")
expect_in "$control" '^Package: reelsmith$' "control"
expect_in "$control" '^Architecture: amd64$' "control"
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6widgets6 libqt6gui6 libqt6core6 libavcodec59 libavformat59 libswscale6 libsdl2-2.0-0 \
  libpugixml1v5 libc6 libstdc\\+\\+6 qt6-qpa-plugins; do
  expect_in "$depends" "(^|, )$library( |,|$)" "Depends"
done
grep -q reelsmith <<<"$depends" && fail "Depends names the package's own libraries: $depends"

description=$(dpkg-deb -f "$deb" Description)
for format in MP4 WebM 'Windows Media'; do
  expect_in "$description" "$format" "the package's description"
done

contents=$(dpkg-deb -c "$deb" | awk '{ $1 = $2 = $3 = $4 = $5 = ""; print }' | sed 's/^ *//')
for file in "./usr/bin/reelsmith -> ../lib/reelsmith/reelsmith" ./usr/bin/reelsmith-make ./usr/bin/jpegdec \
  ./usr/bin/regsvr ./usr/lib/reelsmith/reelsmith ./usr/lib/reelsmith/libXTPPic.so \
  "./usr/lib/reelsmith/libreelsmith-base.so.0 -> libreelsmith-base.so.0.1.0" \
  ./usr/lib/reelsmith/libreelsmith-base.so.0.1.0 \
  "./usr/lib/reelsmith/libreelsmith-media.so.0 -> libreelsmith-media.so.0.1.0" \
  ./usr/lib/reelsmith/libreelsmith-media.so.0.1.0 \
  "./usr/share/doc/reelsmith/02 - Reelsmith - User Manual.pdf" ./usr/share/doc/reelsmith/copyright \
  ./usr/share/doc/reelsmith/changelog.gz ./usr/share/reelsmith/config.ini \
  ./usr/share/applications/reelsmith.desktop ./usr/share/icons/hicolor/128x128/apps/reelsmith.png \
  ./usr/share/metainfo/org.reelsmith.Reelsmith.metainfo.xml ./usr/share/man/man1/reelsmith.1.gz \
  ./usr/share/man/man1/reelsmith-make.1.gz ./usr/share/man/man1/jpegdec.1.gz ./usr/share/man/man1/regsvr.1.gz; do
  grep -qxF -- "$file" <<<"$contents" || fail "contents: $file is missing"
done
grep -q '\.reg$' <<<"$contents" && fail "contents: a registry file is shipped"

# Debian's own check of the package, offline: it reads only the package.
if command -v lintian >/dev/null; then
  lintian --no-cfg --fail-on error "$deb" >"$work/lintian.txt" 2>&1 ||
    fail "lintian reports errors: $(grep -E '^E: ' "$work/lintian.txt" || cat "$work/lintian.txt")"
else
  fail "lintian is not installed (scripts/install-deps installs it)"
fi

# Contents that only a look inside shows.
mkdir "$work/unpacked"
dpkg-deb -x "$deb" "$work/unpacked"
zcat "$work/unpacked/usr/share/man/man1/reelsmith-make.1.gz" | grep -q '^\.TH REELSMITH-MAKE 1' ||
  fail "the reelsmith-make manual page"
metainfo="$work/unpacked/usr/share/metainfo/org.reelsmith.Reelsmith.metainfo.xml"
appstreamcli validate --no-net "$metainfo" >"$work/appstream.txt" 2>&1 || fail "AppStream metainfo: $(cat "$work/appstream.txt")"
for format in MP4 WebM; do
  grep -q "$format" "$metainfo" || fail "the AppStream description does not name $format"
done
# The window opens the manual in its own folder: a link there leads to the documentation.
manual=$(realpath -e "$work/unpacked/usr/lib/reelsmith/02 - Reelsmith - User Manual.pdf" 2>/dev/null || true)
[[ $manual == "$work/unpacked/usr/share/doc/reelsmith/02 - Reelsmith - User Manual.pdf" ]] ||
  fail "the manual beside the window leads to '$manual'"
head -c 5 "$work/unpacked/usr/share/doc/reelsmith/02 - Reelsmith - User Manual.pdf" 2>/dev/null | grep -q '%PDF-' ||
  fail "the manual is no PDF"
changelog_version=$(zcat "$work/unpacked/usr/share/doc/reelsmith/changelog.gz" 2>/dev/null | head -1 |
  sed -n 's/^reelsmith (\([^)]*\)).*/\1/p' || true)
[[ $changelog_version == "$(dpkg-deb -f "$deb" Version)" ]] ||
  fail "the changelog's latest entry is for '$changelog_version', not the package's version"

# Into a scratch root: dpkg's own database there, the scripts run without a chroot.
root="$work/root"
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers"
touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
dpkg_in_root=(dpkg --root="$root" --force-script-chrootless --force-depends --log=/dev/null)
"${dpkg_in_root[@]}" -i "$deb" >"$work/install.txt" 2>&1 || fail "install: $(cat "$work/install.txt")"
registry="$root/var/lib/reelsmith/registry.reg"
[[ -f $registry ]] || fail "install: no machine-wide registry file"
expect_in "$(cat "$registry" 2>/dev/null)" '^\[HKEY_CLASSES_ROOT\\CLSID\\\{[0-9A-F-]+\}\\InprocServer32\]$' \
  "the machine-wide registration"
expect_in "$(cat "$registry" 2>/dev/null)" "^@=\"$root/usr/lib/reelsmith/libXTPPic.so\"$" "the registered library"
[[ $(stat -c %a "$registry") == 644 ]] || fail "the machine-wide file is not readable by every user"

# A user with no registry file of their own makes a movie from the machine's registration.
export REELSMITH_MACHINE_REGISTRY="$registry" REELSMITH_REGISTRY="$work/home/registry.reg" SDL_AUDIODRIVER=dummy
mkdir -p "$work/run"
(cd "$work/run" && LC_ALL=C "$root/usr/bin/reelsmith-make" "$samples" movie.wmv) >"$work/make.txt" 2>&1 ||
  fail "the installed reelsmith-make: $(cat "$work/make.txt")"
format=$(ffprobe -v error -show_entries format=format_name -of csv=p=0 "$work/run/movie.wmv" 2>/dev/null || true)
[[ $format == asf ]] || fail "the installed reelsmith-make made no ASF movie"
[[ -e $REELSMITH_REGISTRY ]] && fail "the run wrote a user registry file"
# The new user's settings: a 1280x720 MP4, the name without an extension given its own.
(cd "$work/run" && LC_ALL=C "$root/usr/bin/reelsmith-make" --config "$root/usr/share/reelsmith/config.ini" \
  "$samples" first) >"$work/make.txt" 2>&1 || fail "the installed settings template: $(cat "$work/make.txt")"
video=$(ffprobe -v error -select_streams v:0 -show_entries stream=codec_name,width,height -of csv=p=0 \
  "$work/run/first.mp4" 2>/dev/null || true)
[[ $video == h264,1280,720 ]] || fail "the settings template made no 1280x720 MP4: $video"
mkdir "$work/empty"
message=$(cd "$work/run" && LC_ALL=en_US.UTF-8 "$root/usr/bin/reelsmith-make" "$work/empty" movie2.wmv 2>&1 || true)
[[ $message == "Reelsmith: No JPG files were found in this folder." ]] || fail "installed, in English: $message"

# Every option the installed tools' usage shows is in their manual page.
options_in() { # the usage text on standard input
  grep -oE -- '(^|[^[:alnum:]-])--?[a-z][a-z-]*' | sed 's/^[^-]*//' | sort -u
}
expect_options_in_page() { # PAGE OPTIONS
  local page option
  page=$(zcat "$root/usr/share/man/man1/$1.1.gz" | sed 's/\\-/-/g')
  [[ -n $2 ]] || fail "$1 shows no options"
  for option in $2; do
    grep -qE -- "(^|[^[:alnum:]-])$option([^[:alnum:]-]|$)" <<<"$page" || fail "the $1 manual page lacks $option"
  done
}
expect_options_in_page reelsmith-make "$("$root/usr/bin/reelsmith-make" --help | options_in)"
expect_options_in_page jpegdec "$( ("$root/usr/bin/jpegdec" 2>&1 || true) | options_in)"
expect_options_in_page regsvr "$("$root/usr/bin/regsvr" --help | options_in) --help -h"

"${dpkg_in_root[@]}" -r reelsmith >"$work/remove.txt" 2>&1 || fail "remove: $(cat "$work/remove.txt")"
[[ -e $root/usr/bin/reelsmith ]] && fail "remove: the program is still there"
grep -q InprocServer32 "$registry" 2>/dev/null && fail "remove: the registration is still there"
"${dpkg_in_root[@]}" -P reelsmith >"$work/purge.txt" 2>&1 || fail "purge: $(cat "$work/purge.txt")"
[[ -e $root/var/lib/reelsmith ]] && fail "purge: /var/lib/reelsmith is still there"

if ((failures > 0)); then
  echo "package-test: $failures failure(s)" >&2
  exit 1
fi
echo "package-test: the package's contents, install, run, remove and purge are as expected"

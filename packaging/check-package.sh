#!/usr/bin/env bash
# Builds the Debian package in the given build folder and checks it: lintian finds no errors,
# the desktop entry and the AppStream metadata validate, and the unpacked ostrel-build, also
# through its link in usr/bin, builds the sample product's plugin.
set -euo pipefail

build=$(realpath "${1:?usage: $0 BUILD_FOLDER}")
source=$(cd "$(dirname "$0")/.." && pwd)
id=io.github.ostrel.Ostrel

echo "== Building the package"
cmake --build "$build" --target package
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb=$build/ostrel_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || { echo "No package at $deb" >&2; exit 1; }
dpkg-deb --field "$deb"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

echo "== lintian (warnings allowed, errors not)"
# As root lintian warns that it runs as root, and works all the same; with --fail-on error its
# exit status counts errors only.
status=0
report=$(lintian --fail-on error --tag-display-limit 0 "$deb" 2>&1) || status=$?
tags=$(grep -v 'running with root privileges' <<<"$report" || true)
echo "${tags:-No errors or warnings.}"
[ "$status" -eq 0 ] || { echo "lintian reports errors (exit status $status)" >&2; exit 1; }

echo "== Package contents"
root=$scratch/root
dpkg-deb -x "$deb" "$root"
lib=$root/usr/lib/ostrel
for file in lib/ostrel/ostrel lib/ostrel/ostrel-build lib/ostrel/blank.html \
    lib/ostrel/plugintemplatepro/plugin.php share/applications/$id.desktop \
    share/metainfo/$id.metainfo.xml share/icons/hicolor/scalable/apps/$id.svg \
    share/icons/hicolor/{16x16,32x32,48x48,64x64,128x128,256x256}/apps/$id.png \
    share/man/man1/ostrel.1.gz share/man/man1/ostrel-build.1.gz \
    share/doc/ostrel/copyright share/doc/ostrel/changelog.gz; do
    [ -f "$root/usr/$file" ] || { echo "Missing usr/$file" >&2; exit 1; }
done
for left in tmp output save.alt; do
    [ ! -e "$lib/$left" ] || { echo "usr/lib/ostrel/$left comes from a run; it must not ship" >&2; exit 1; }
done
for command in ostrel ostrel-build; do
    [ "$(readlink "$root/usr/bin/$command")" = "../lib/ostrel/$command" ] ||
        { echo "usr/bin/$command is not a link to ../lib/ostrel/$command" >&2; exit 1; }
done
if dpkg-deb -c "$deb" | awk '$2 != "root/root"' | grep .; then
    echo "Files not owned by root" >&2
    exit 1
fi
if readelf -d "$lib/ostrel" "$lib/ostrel-build" | grep -E 'RPATH|RUNPATH'; then
    echo "The programs carry a library search path" >&2
    exit 1
fi
depends=$(dpkg-deb -f "$deb" Depends)
for needed in p7zip-full libqt6webenginecore6-bin libqt6webenginewidgets6; do
    grep -qw -- "$needed" <<<"$depends" || { echo "Depends lacks $needed: $depends" >&2; exit 1; }
done

echo "== Desktop entry and AppStream metadata"
desktop-file-validate "$root/usr/share/applications/$id.desktop"
appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml"
# The tree check also follows the metadata to its desktop entry and icon.
appstreamcli validate-tree --no-net "$root"

echo "== The packaged ostrel-build builds the sample product"
# Run from the unpacked folder and through the link: both must find the template beside the
# program without --template.
for program in "$lib/ostrel-build" "$root/usr/bin/ostrel-build"; do
    output=$scratch/output-$(basename "$(dirname "$program")")
    archive=$("$program" --pages "$source/examples/sample-product" \
        --front index.html --download download.html \
        --name "Balcony Herbs" --uri https://example.com/balcony-herbs \
        --description "A 30-day starter guide" --version 1.0 \
        --author "Little Green Press" --author-uri https://example.com --license GPL \
        --id balconyherbs --output "$output")
    [ "$archive" = "$output/balconyherbs.zip" ] || { echo "Unexpected archive: $archive" >&2; exit 1; }
    listing=$(7za l "$archive")
    for entry in 'balconyherbs/plugin\.php' 'balconyherbs/.*/balcony-herb-garden\.pdf'; do
        grep -q " $entry\$" <<<"$listing" || { echo "$archive lacks $entry" >&2; exit 1; }
    done
    [ "$(ls -A "$output")" = balconyherbs.zip ] || { echo "$output holds more than the archive" >&2; exit 1; }
done
echo "Package check passed: $deb"

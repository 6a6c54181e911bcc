#!/usr/bin/env bash
# Runs WordPress's Plugin Check, with the review's header checks, the coding standards and PHP
# compatibility, offline on the sample product's plugin, as WordPress.org's review would.
# Usage: plugin-check.sh OSTREL_BUILD SAMPLE_PRODUCT_DIR PCP_RUN_SH [NEWEST_WORDPRESS_DIR]
# Fails when the plugin's own files have errors; prints every finding either way.
set -euo pipefail

builder=$(realpath "$1")
sample=$(realpath "$2")
pcp=$3
newest=${4:-/usr/share/wordpress}
out=$(mktemp -d "${TMPDIR:-/tmp}/ostrel-pcp.XXXXXX")
trap 'rm -rf "$out"' EXIT

# Plugin Check runs inside the newest WordPress the WordPress test runs on, and "Tested up to" is
# compared with it.
version=$(php -r 'include $argv[1]; echo preg_replace("/^(\d+\.\d+).*/", "$1", $wp_version);' \
    "$newest/wp-includes/version.php")
"$builder" --pages "$sample" --front index.html --download download.html --id p48217 \
    --name "Balcony Herb Garden" --uri https://herbs.shop/guide --description "Grow herbs on a balcony" \
    --version 1.0 --author "Ann Seller" --author-uri https://herbs.shop --license GPL-2.0-or-later \
    --output "$out" >"$out/build.log" 2>&1 || { cat "$out/build.log"; exit 1; }
# Every PHP file parses under this PHP and has one line ending.
unzip -q "$out/balconyherbgarden.zip" -d "$out/plugin"
find "$out/plugin" -name '*.php' -print0 | xargs -0 -n 1 php -l >"$out/lint.log" || { grep -v '^No syntax' "$out/lint.log"; exit 1; }
crlf=$(grep -rlI --include='*.php' $'\r' "$out/plugin" || true)
[ -z "$crlf" ] || { echo "PHP files with a carriage return: $crlf"; exit 1; }
echo "php -l: $(grep -c '^No syntax errors' "$out/lint.log") PHP files parse, each with LF line endings only"
PCP_LATEST_WP=$version PCP_WP_DIR=${PCP_WP_DIR:-$newest} "$pcp" "$out/balconyherbgarden.zip"

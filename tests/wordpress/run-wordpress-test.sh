#!/usr/bin/env bash
# Builds two plugins with ostrel-build, installs them into a throwaway WordPress (its own
# MariaDB on a socket, PHP's built-in server on 127.0.0.1) and checks what visitors, the
# site owner and the uninstaller get.
# Usage: run-wordpress-test.sh OSTREL_BUILD SAMPLE_PRODUCT_DIR
set -uo pipefail

if [ $# -ne 2 ]; then
    echo "usage: $0 OSTREL_BUILD SAMPLE_PRODUCT_DIR" >&2
    exit 2
fi
builder=$(realpath "$1")
sample=$(realpath "$2")
here=$(cd "$(dirname "$0")" && pwd)
export PATH="$PATH:/usr/sbin:/sbin"
export QT_QPA_PLATFORM=offscreen

work=$(mktemp -d "${TMPDIR:-/tmp}/ostrel-wp.XXXXXX")
site_dir=$work/site
socket=$work/db.sock
debug_log=$work/debug.log
password=$(php -r 'echo bin2hex(random_bytes(12));')
started=()
passed=0
failed=0

cleanup() {
    local pid
    for pid in "${started[@]}"; do
        kill "$pid" 2>/dev/null
    done
    for pid in "${started[@]}"; do
        wait "$pid" 2>/dev/null
    done
    rm -rf "$work"
}
trap cleanup EXIT

pass() {
    echo "PASS: $1"
    passed=$((passed + 1))
}

# fail WHAT [DETAIL]...
fail() {
    echo "FAIL: $1"
    shift
    local line
    for line in "$@"; do
        printf '      %s\n' "$line"
    done
    failed=$((failed + 1))
}

# check WHAT COMMAND...: passes when the command succeeds.
check() {
    local what=$1
    shift
    if "$@"; then pass "$what"; else fail "$what"; fi
}

# verdict WHAT [DETAIL]...: passes when the command just before succeeded.
verdict() {
    local status=$?
    if [ "$status" -eq 0 ]; then pass "$1"; else fail "$@"; fi
}

finish() {
    echo "$passed passed, $failed failed"
    [ "$failed" -eq 0 ] && exit 0
    exit 1
}

# The test cannot go on without this step.
abort() {
    fail "$@"
    finish
}

show_log() {
    [ -s "$2" ] || return 0
    echo "---- $1 (last 40 lines) ----"
    tail -n 40 "$2"
}

wp() {
    php "$here/wp-helper.php" "$site_dir" "127.0.0.1:$port" "$@"
}

# field KEY < "KEY<TAB>VALUE" lines
field() {
    awk -F '\t' -v key="$1" '$1 == key { sub(/^[^\t]*\t/, ""); print; exit }'
}

contains() { grep -qF -- "$2" "$1"; }
lacks() { ! grep -qF -- "$2" "$1"; }

# fetch URL FILE [CURL OPTION]...: saves the body, prints the status.
fetch() {
    local url=$1 file=$2
    shift 2
    curl -sS --max-time 60 -o "$file" -w '%{http_code}' "$@" "$url"
}

# redirect URL [CURL OPTION]...: prints the status and where it redirects to.
redirect() {
    local url=$1
    shift
    curl -sS --max-time 60 -o /dev/null -w '%{http_code} %{redirect_url}' "$@" "$url"
}

### Tools

for tool in php mariadbd mariadb-install-db mariadb curl unzip; do
    command -v "$tool" >/dev/null || abort "tool $tool is installed (scripts/install-deps.sh)"
done
[ -f /usr/share/wordpress/wp-settings.php ] || abort "Debian's wordpress package is installed"

### Database: a private MariaDB server that listens on a socket only

me=$(id -un)
mariadb-install-db --no-defaults --user="$me" --datadir="$work/db" --skip-test-db \
    --auth-root-authentication-method=normal >"$work/db-install.log" 2>&1 ||
    { show_log "mariadb-install-db" "$work/db-install.log"; abort "MariaDB data folder is created"; }
mariadbd --no-defaults --user="$me" --datadir="$work/db" --socket="$socket" \
    --pid-file="$work/db.pid" --skip-networking --log-error="$work/db.log" >>"$work/db.log" 2>&1 &
started+=($!)
sql() { mariadb --no-defaults --socket="$socket" --user=root "$@"; }
for _ in $(seq 100); do
    sql -e 'SELECT 1' >/dev/null 2>&1 && break
    sleep 0.3
done
sql -e 'CREATE DATABASE wordpress CHARACTER SET utf8mb4 COLLATE utf8mb4_unicode_520_ci' ||
    { show_log "MariaDB" "$work/db.log"; abort "MariaDB starts and takes a database"; }
pass "MariaDB runs on its own socket"

### WordPress: a copy of Debian's, with its own configuration

port=$(php -r '$s = stream_socket_server("tcp://127.0.0.1:0"); echo substr(strrchr(stream_socket_get_name($s, false), ":"), 1);')
site=http://127.0.0.1:$port
cp -rL /usr/share/wordpress "$site_dir" || abort "WordPress is copied"
rm -f "$site_dir/.htaccess"
salt=$(php -r 'echo bin2hex(random_bytes(32));')
cat >"$site_dir/wp-config.php" <<EOF
<?php
define( 'DB_NAME', 'wordpress' );
define( 'DB_USER', 'root' );
define( 'DB_PASSWORD', '' );
define( 'DB_HOST', 'localhost:$socket' );
define( 'DB_CHARSET', 'utf8mb4' );
define( 'DB_COLLATE', '' );
foreach ( array( 'AUTH_KEY', 'SECURE_AUTH_KEY', 'LOGGED_IN_KEY', 'NONCE_KEY', 'AUTH_SALT', 'SECURE_AUTH_SALT', 'LOGGED_IN_SALT', 'NONCE_SALT' ) as \$key ) {
	define( \$key, '$salt' . \$key );
}
\$table_prefix = 'wp_';
define( 'WP_HOME', '$site' );
define( 'WP_SITEURL', '$site' );
define( 'WP_DEBUG', true );
define( 'WP_DEBUG_LOG', '$debug_log' );
define( 'WP_DEBUG_DISPLAY', false );
define( 'FS_METHOD', 'direct' );
define( 'DISABLE_WP_CRON', true );
define( 'AUTOMATIC_UPDATER_DISABLED', true );
define( 'WP_HTTP_BLOCK_EXTERNAL', true );
defined( 'ABSPATH' ) || define( 'ABSPATH', __DIR__ . '/' );
require_once ABSPATH . 'wp-settings.php';
EOF
wp install "$password" || { show_log "debug log" "$debug_log"; abort "WordPress installs"; }
php -S "127.0.0.1:$port" -t "$site_dir" "$here/router.php" >"$work/server.log" 2>&1 &
started+=($!)
for _ in $(seq 100); do
    curl -s -o /dev/null --max-time 5 "$site/" && break
    sleep 0.2
done
status=$(fetch "$site/" "$work/home.html")
[ "$status" = 200 ] || { show_log "server" "$work/server.log"; abort "WordPress answers on $site (got $status)"; }
pass "WordPress is installed and answers on $site"

### Build two plugins; the second one's identifier starts with a digit, holds '-' and upper
### case and is as long as allowed, its name holds PHP's special characters.

id_a=herbs
name_a="Zoë's Balcony Herbs"
uri_a=https://example.com/balcony-herbs
description_a="Grow basil & mint – Zoë's \"30-day\" guide"
version_a=1.2.3
author_a="Little Green Press – Åsa O'Neil"
author_uri_a=https://example.com/press
id_b=7Herbs-Extra_Long-20
name_b='Herb Kit $HOME & {$x} Ω – Deluxe'

build() { # OUTPUT_DIR ID NAME URI DESCRIPTION VERSION AUTHOR AUTHOR_URI
    "$builder" --pages "$sample" --front index.html --download download.html \
        --id "$2" --name "$3" --uri "$4" --description "$5" --version "$6" \
        --author "$7" --author-uri "$8" --license GPL-2.0-or-later --output "$1" | tail -n 1
}
declare -A zip keys
zip[$id_a]=$(build "$work/out-a" "$id_a" "$name_a" "$uri_a" "$description_a" "$version_a" "$author_a" "$author_uri_a")
zip[$id_b]=$(build "$work/out-b" "$id_b" "$name_b" https://example.com/kit "Second kit" 2.0 "Kit Maker" https://example.com)
[ -f "${zip[$id_a]}" ] && [ -f "${zip[$id_b]}" ] || abort "ostrel-build builds both plugins"
pass "ostrel-build builds both plugins"

for id in "$id_a" "$id_b"; do
    top=$(unzip -Z1 "${zip[$id]}" | cut -d/ -f1 | sort -u | tr '\n' ' ')
    check "archive of $id holds the single folder $id/" [ "$top" = "$id " ]
    unzip -q "${zip[$id]}" -d "$work/unpacked-$id"
    lint_errors=()
    while IFS= read -r -d '' file; do
        php -l "$file" >/dev/null 2>&1 || lint_errors+=("$(php -l "$file" 2>&1 | head -n 3)")
    done < <(find "$work/unpacked-$id" -name '*.php' -print0)
    if [ ${#lint_errors[@]} -eq 0 ]; then
        pass "php -l accepts every PHP file of $id"
    else
        fail "php -l accepts every PHP file of $id" "${lint_errors[@]}"
    fi
done

### Install through WordPress's own installer and activate

file_a=$(wp install-plugin "${zip[$id_a]}" | tail -n 1)
file_b=$(wp install-plugin "${zip[$id_b]}" | tail -n 1)
check "WordPress's installer installs both as $id_a/plugin.php and $id_b/plugin.php" \
    [ "$file_a" = "$id_a/plugin.php" -a "$file_b" = "$id_b/plugin.php" ]
[ -f "$site_dir/wp-content/plugins/$id_a/plugin.php" ] || abort "plugin $id_a is in wp-content/plugins/$id_a"

wp plugin-data "$file_a" >"$work/plugin-data"
header_errors=()
for pair in "Name|$name_a" "PluginURI|$uri_a" "Description|$description_a" "Version|$version_a" \
    "Author|$author_a" "AuthorURI|$author_uri_a"; do
    key=${pair%%|*}
    got=$(field "$key" <"$work/plugin-data")
    [ "$got" = "${pair#*|}" ] || header_errors+=("$key: got '$got', typed '${pair#*|}'")
done
if [ ${#header_errors[@]} -eq 0 ]; then
    pass "get_plugin_data() returns the typed name, URI, description, version, author and author URI"
else
    fail "get_plugin_data() returns the typed header fields" "${header_errors[@]}"
fi

wp activate "$file_a" && wp activate "$file_b"
verdict "both plugins activate side by side without output or errors"
# The plugin's names, page numbers and addresses, as "key<TAB>value" lines.
keys[$id_a]=$work/keys-a
keys[$id_b]=$work/keys-b
wp keys "$file_a" >"${keys[$id_a]}" && wp keys "$file_b" >"${keys[$id_b]}"
for id in "$id_a" "$id_b"; do
    post_type=$(field post_type <"${keys[$id]}")
    types="$(field sales_post_type <"${keys[$id]}") $(field download_post_type <"${keys[$id]}")"
    check "activation of $id creates its two pages as posts of type '$post_type' (lower case, at most 20 characters)" \
        [ "$types" = "$post_type $post_type" -a ${#post_type} -le 20 -a -n "$post_type" -a "$post_type" = "${post_type,,}" ]
    check "the download page of $id has a random 20-character address" \
        grep -qE $'^download_name\t[a-z0-9]{20}$' "${keys[$id]}"
done
check "the two plugins use different post types" \
    [ "$(field post_type <"${keys[$id_a]}")" != "$(field post_type <"${keys[$id_b]}")" ]

# Called directly, outside WordPress, the plugin's own PHP files must do nothing.
noisy=()
for file in plugin.php uninstall.php modules/cpt.php modules/cpt_template_loader.php modules/admin.php \
    modules/template/template.php modules/template/thanks.php; do
    status=$(fetch "$site/wp-content/plugins/$id_a/$file" "$work/direct")
    [ "$status" = 200 ] && [ ! -s "$work/direct" ] || noisy+=("$file: status $status, $(head -c 200 "$work/direct")")
done
[ ${#noisy[@]} -eq 0 ]
verdict "the plugin's PHP files answer nothing when called directly" "${noisy[@]}"

### The site owner's menu: log in, read it, save both tags with the settings form

jar=$work/cookies
fetch "$site/wp-login.php" /dev/null -c "$jar" >/dev/null
status=$(fetch "$site/wp-login.php" /dev/null -b "$jar" -c "$jar" --data-urlencode log=admin \
    --data-urlencode "pwd=$password" -d testcookie=1 --data-urlencode "redirect_to=$site/wp-admin/")
[ "$status" = 302 ] || abort "the administrator logs in (got $status)"

menu_slug_a=$(field menu_slug <"${keys[$id_a]}")
menu_url=$site/wp-admin/admin.php?page=$menu_slug_a
admin=$work/admin.html
status=$(fetch "$menu_url" "$admin" -b "$jar")
check "the plugin's menu page answers 200" [ "$status" = 200 ]
h1=$(php "$here/html-tool.php" xpath "$admin" '//div[@class="wrap"]/h1')
check "the menu page is titled with the typed name" [ "$h1" = "$name_a" ]
check "the admin menu lists the typed name, escaped" contains "$admin" \
    "<div class='wp-menu-name'>$(php -r 'echo htmlspecialchars($argv[1], ENT_QUOTES);' "$name_a")</div>"
check "with nothing set, the menu page says both tags' HTML is missing" \
    [ "$(php "$here/html-tool.php" xpath "$admin" '//div[contains(@class,"notice-warning")]' | grep -c .)" = 2 ]
php "$here/html-tool.php" xpath "$admin" '//a[@class="ostrel-address"]/@href' >"$work/addresses"
sales_url=$(field sales_url <"${keys[$id_a]}")
download_url=$(field download_url <"${keys[$id_a]}")
check "the menu page shows both page addresses" \
    [ "$(cat "$work/addresses")" = "$sales_url"$'\n'"$download_url" ]

# Pages render with empty tags before anything is set.
status=$(fetch "$sales_url" "$work/empty-sales.html")
[ "$status" = 200 ] && contains "$work/empty-sales.html" '<div class="buy"></div>'
verdict "with nothing set, the sales page still renders"

front_option=$(field front_option <"${keys[$id_a]}")
back_option=$(field back_option <"${keys[$id_a]}")
pdf_url=$site/wp-content/plugins/$id_a/modules/template/files/balcony-herb-garden.pdf
front_html='<form action="https://pay.example.com/checkout" method="post"><input type="hidden" name="item" value="herbs-1"><button type="submit" onclick="steal()">Buy now – €9,90</button></form><script>alert("front")</script>'
back_html='<p><a class="button" href="'$pdf_url'">Download “The Balcony Herb Garden” (PDF)</a></p><img src="x" onerror="alert(1)" alt="">'
body=$(php "$here/html-tool.php" form "$admin" options.php "$front_option=$front_html" "$back_option=$back_html")
status=$(redirect "$site/wp-admin/options.php" -b "$jar" --data-binary "$body")
[[ "$status" == "302 $menu_url&settings-updated=true" ]]
verdict "posting the settings form with its nonce saves and returns to the menu" "got: $status"
status=$(fetch "$site/wp-admin/options.php" /dev/null -b "$jar" \
    --data-binary "$(php "$here/html-tool.php" form "$admin" options.php _wpnonce=forged "$front_option=forged")")
[ "$status" = 403 ] && [ "$(wp get-option "$front_option")" != forged ]
verdict "a forged nonce is refused" "got: $status"

wp get-option "$front_option" >"$work/front-a"
wp get-option "$back_option" >"$work/back-a"
check "saved sales HTML keeps the form, field and button" \
    contains "$work/front-a" '<form action="https://pay.example.com/checkout" method="post"><input type="hidden" name="item" value="herbs-1"><button type="submit">Buy now – €9,90</button></form>'
lacks "$work/front-a" '<script' && lacks "$work/front-a" onclick && lacks "$work/back-a" onerror
verdict "saved HTML loses scripts and event handlers"
check "saved download HTML keeps the link" contains "$work/back-a" "href=\"$pdf_url\""

fetch "$menu_url" "$admin" -b "$jar" >/dev/null
check "with both set, the menu page warns of nothing" \
    [ -z "$(php "$here/html-tool.php" xpath "$admin" '//div[contains(@class,"notice-warning")]')" ]
check "the menu page shows the saved HTML for editing" \
    [ "$(php "$here/html-tool.php" xpath "$admin" "//textarea[@name='$front_option']")" = "$(cat "$work/front-a")" ]

### What visitors get

# check_page WHAT URL CONVERTED_PAGE VARIABLE TAG_FILE ID
check_page() {
    local what=$1 url=$2 converted=$3 variable=$4 tag=$5 id=$6
    local page=$work/$what-$id.html expected=$work/$what-$id.expected headers=$work/$what-$id.headers
    local status
    status=$(fetch "$url" "$page" -D "$headers")
    [ "$status" = 200 ] && grep -qi '^content-type: text/html; charset=utf-8' "$headers"
    verdict "the $what page of $id answers 200 as UTF-8" "got: $status"
    php "$here/render-page.php" "$converted" "$variable" "$tag" "$site" >"$expected"
    if cmp -s "$page" "$expected"; then
        pass "the $what page of $id is exactly the converted page with its tag's HTML, no theme around it"
    else
        fail "the $what page of $id is exactly the converted page with its tag's HTML, no theme around it" \
            "$(diff "$expected" "$page" | head -n 10)"
    fi
    check "the $what page of $id holds its tag's HTML" contains "$page" "$(cat "$tag")"
    check "the $what page of $id keeps non-ASCII text intact" contains "$page" "© 2024 Little Green Press ·"

    local prefix=$site/wp-content/plugins/$id/modules/template/ asset_url relative bad=()
    local assets
    assets=$(grep -oE "https?://[^\"' )]*/wp-content/plugins/$id/modules/template/[^\"' )]*" "$page" | sort -u)
    for asset_url in $assets; do
        relative=${asset_url#"$prefix"}
        status=$(fetch "$asset_url" "$work/asset")
        if [ "$status" != 200 ] || ! cmp -s "$work/asset" "$sample/$relative"; then
            bad+=("$asset_url: status $status, differs from $sample/$relative")
        fi
    done
    if [ -z "$assets" ]; then
        fail "the $what page of $id refers to its pictures and style sheet" "no rewritten addresses found"
    elif [ ${#bad[@]} -eq 0 ]; then
        pass "all $(wc -w <<<"$assets") asset addresses of the $what page of $id answer 200 with the sample's exact bytes"
    else
        fail "every asset address of the $what page of $id answers with the sample's exact bytes" "${bad[@]}"
    fi
}

template_a=$site_dir/wp-content/plugins/$id_a/modules/template
check_page sales "$sales_url" "$template_a/converted_index.php" front_tag "$work/front-a" "$id_a"
check "the sales page shows the reviewer's name intact" contains "$work/sales-$id_a.html" "— Zoë Müller, Århus"
check_page download "$download_url" "$template_a/converted_download.php" back_tag "$work/back-a" "$id_a"
check "the download page links the PDF" contains "$work/download-$id_a.html" "$pdf_url"
grep -qi '^x-robots-tag: noindex' "$work/download-$id_a.headers" &&
    grep -qi '^referrer-policy: same-origin' "$work/download-$id_a.headers"
verdict "the download page keeps search engines and other sites' logs away from its address"

### Nobody finds the download page without its address

secret=$(field download_name <"${keys[$id_a]}")
download_id=$(field download_id <"${keys[$id_a]}")
post_type_a=$(field post_type <"${keys[$id_a]}")
sales_id=$(field sales_id <"${keys[$id_a]}")
leaks=()
for probe in "/?p=$download_id" "/?p=$download_id&post_type=$post_type_a" \
    "/?post_type=$post_type_a" "/?post_type=$post_type_a&feed=rss2" "/?s=Balcony" \
    "/wp-sitemap.xml" "/wp-sitemap-posts-$post_type_a-1.xml" "/wp-json/wp/v2/search?search=Balcony" "/feed/"; do
    status=$(fetch "$site$probe" "$work/probe" -D "$work/probe-headers")
    if grep -qF "$secret" "$work/probe" "$work/probe-headers" ||
        contains "$work/probe" "Thank you for your order"; then
        leaks+=("$probe (status $status)")
    fi
done
if [ ${#leaks[@]} -eq 0 ]; then
    pass "guessing by number, listing, feeds, search, sitemaps and REST never reveal the download page"
else
    fail "guessing by number, listing, feeds, search, sitemaps and REST never reveal the download page" "${leaks[@]}"
fi
fetch "$site/wp-sitemap-posts-$post_type_a-1.xml" "$work/sitemap" >/dev/null
check "the sitemap still lists the sales page" contains "$work/sitemap" "$sales_url"
status=$(redirect "$site/?p=$sales_id")
check "the sales page is still found by number" [ "$status" = "301 $sales_url" ]

### The second plugin, its tags saved with update_option, serves its own pages

printf '%s' '<a class="buy" href="https://pay.example.com/kit">Buy the kit</a><script>x()</script>' >"$work/front-b-typed"
printf '%s' '<a href="https://files.example.com/kit.zip">Kit download</a>' >"$work/back-b"
printf '%s' '<a class="buy" href="https://pay.example.com/kit">Buy the kit</a>x()' >"$work/front-b"
wp set-tags "$file_b" "$work/front-b-typed" "$work/back-b"
check "the second plugin's saved HTML is cleaned however it is saved" \
    [ "$(wp get-option "$(field front_option <"${keys[$id_b]}")")" = "$(cat "$work/front-b")" ]
template_b=$site_dir/wp-content/plugins/$id_b/modules/template
check_page sales "$(field sales_url <"${keys[$id_b]}")" "$template_b/converted_index.php" front_tag "$work/front-b" "$id_b"
check_page download "$(field download_url <"${keys[$id_b]}")" "$template_b/converted_download.php" back_tag "$work/back-b" "$id_b"
fetch "$site/wp-admin/admin.php?page=$(field menu_slug <"${keys[$id_b]}")" "$work/admin-b.html" -b "$jar" >/dev/null
check "the second plugin's menu page shows its name as typed, dollars and braces included" \
    [ "$(php "$here/html-tool.php" xpath "$work/admin-b.html" '//div[@class="wrap"]/h1')" = "$name_b" ]
fetch "$sales_url" "$work/sales-again.html" >/dev/null
check "the first plugin's sales page still holds its own HTML" contains "$work/sales-again.html" "$(cat "$work/front-a")"

### Nothing in the debug log comes from the plugins

if [ -s "$debug_log" ]; then
    echo "---- WP_DEBUG log ----"
    cat "$debug_log"
    echo "----"
fi
plugin_lines=$(grep -E "wp-content/plugins/($id_a|$id_b)/" "$debug_log" 2>/dev/null)
if [ -z "$plugin_lines" ]; then
    pass "the WP_DEBUG log holds no error, warning, notice or deprecation from the plugins"
else
    fail "the WP_DEBUG log holds no error, warning, notice or deprecation from the plugins" "$plugin_lines"
fi

### Deactivate and uninstall: nothing is left behind, and the other plugin is untouched.
### The second plugin goes first: its identifier holds the first one's.

# leftovers ID: what the database still holds of the plugin.
leftovers() {
    local id=$1
    wp leftovers "$id" "$(field post_type <"${keys[$id]}")" \
        "$(field sales_id <"${keys[$id]}")" "$(field download_id <"${keys[$id]}")"
}

# uninstall ID PLUGIN_FILE
uninstall() {
    local id=$1 file=$2 left status
    check "uninstalling $id deactivates and deletes it" wp uninstall "$file"
    check "the folder of $id is gone" [ ! -e "$site_dir/wp-content/plugins/$id" ]
    left=$(leftovers "$id")
    [ -z "$left" ]
    verdict "no option, post, post meta or rewrite rule of $id is left" "$left"
    status=$(fetch "$(field sales_url <"${keys[$id]}")" /dev/null)
    check "the sales page of $id is gone (404)" [ "$status" = 404 ]
}

uninstall "$id_b" "$file_b"
[ "$(leftovers "$id_a" | grep -c .)" -ge 6 ]
verdict "$id_a keeps its options and pages meanwhile"
status=$(fetch "$sales_url" "$work/sales-a-after.html")
[ "$status" = 200 ] && contains "$work/sales-a-after.html" "$(cat "$work/front-a")"
verdict "$id_a still serves its sales page"
uninstall "$id_a" "$file_a"

if [ "$failed" -ne 0 ]; then
    show_log "PHP server" "$work/server.log"
    show_log "MariaDB" "$work/db.log"
fi
finish

# Builds two plugins, installs and activates them, and checks their headers, their menus and the
# pages visitors get. Sourced by run-wordpress-test.sh.

### Build two plugins; the second one's identifier starts with a digit, holds '-' and upper
### case and is as long as allowed, its name holds PHP's special characters. The second one
### delivers, beside the guide, a file many times larger than PHP's memory limit.

id_a=herbs
name_a="Zoë's Balcony Herbs"
uri_a=https://example.com/balcony-herbs
description_a="Grow basil & mint – Zoë's \"30-day\" guide"
version_a=1.2.3
author_a="Little Green Press – Åsa O'Neil"
author_uri_a=https://example.com/press
id_b=7Herbs-Extra_Long-20
name_b='Herb Kit $HOME & {$x} Ω – Deluxe'
product=files/balcony-herb-garden.pdf
big=files/big-edition.bin
# A name Apache's and IIS's rules must quote and escape.
odd="files/Zoë's \"guide\" (2) [final] & more.pdf"

product_b=$work/product-b
cp -r "$sample" "$product_b"
# An XHTML sales page, whose first line is PHP's short open tag to a server that allows those.
xml_declaration='<?xml version="1.0" encoding="UTF-8"?>'
{ echo "$xml_declaration"; cat "$sample/index.html"; } >"$product_b/index.html"
# Numbered lines, so a chunk sent twice or left out changes the bytes.
seq 1 40000000 | head -c 200000000 >"$product_b/$big"
printf '%s' '%PDF odd' >"$product_b/$odd"
printf '%s' 'A preview anyone may read' >"$product_b/files/preview.txt"

build() { # PAGES OUTPUT_DIR ID NAME URI DESCRIPTION VERSION AUTHOR AUTHOR_URI [OPTION]...
    "$builder" --pages "$1" --front index.html --download download.html \
        --id "$3" --name "$4" --uri "$5" --description "$6" --version "$7" \
        --author "$8" --author-uri "$9" --license GPL-2.0-or-later --output "$2" "${@:10}"
}
declare -A zip keys
build "$sample" "$work/out-a" "$id_a" "$name_a" "$uri_a" "$description_a" "$version_a" "$author_a" \
    "$author_uri_a" >"$work/build-a.out" 2>"$work/build-a.err"
build "$product_b" "$work/out-b" "$id_b" "$name_b" https://example.com/kit "Second kit" 2.0 \
    "Kit Maker" https://example.com --deliver "$product" --deliver "$big" --deliver "$odd" >"$work/build-b.out" 2>"$work/build-b.err"
zip[$id_a]=$(tail -n 1 "$work/build-a.out")
zip[$id_b]=$(tail -n 1 "$work/build-b.out")
[ -f "${zip[$id_a]}" ] && [ -f "${zip[$id_b]}" ] || abort "ostrel-build builds both plugins"
pass "ostrel-build builds both plugins"
check "ostrel-build detects the guide as the sample's one delivery file" \
    grep -qxF "  $product" "$work/build-a.err"

for id in "$id_a" "$id_b"; do
    top=$(unzip -Z1 "${zip[$id]}" | cut -d/ -f1 | sort -u | tr '\n' ' ')
    check "archive of $id holds the single folder $id/" [ "$top" = "$id " ]
    unzip -q "${zip[$id]}" -d "$work/unpacked-$id"
    lint_errors=()
    while IFS= read -r -d '' file; do
        php -l "$file" >/dev/null 2>&1 || lint_errors+=("$(php -l "$file" 2>&1 | head -n 3)")
    done < <(find "$work/unpacked-$id" -name '*.php' -print0)
    expect_none "php -l accepts every PHP file of $id" "${lint_errors[@]}"
    mapfile -t unpersonalised < <(grep -rlE '#(prefix|header|menuname)#' "$work/unpacked-$id")
    expect_none "no file of $id keeps a placeholder of the template" "${unpersonalised[@]}"
    unlisted=()
    while IFS= read -r -d '' folder; do
        [ -f "$folder/index.php" ] || unlisted+=("${folder#"$work/unpacked-$id/"}")
    done < <(find "$work/unpacked-$id/$id" -type d -print0)
    expect_none "every folder of $id holds an index.php" "${unlisted[@]}"
done
check "the second plugin lists the three chosen delivery files" \
    [ "$(php -r 'define("ABSPATH", "/"); echo implode("|", require $argv[1]);' \
        "$work/unpacked-$id_b/$id_b/modules/delivery.php")" = "$product|$big|$odd" ]
rm -rf "$work/unpacked-$id_b"

### Install through WordPress's own installer and activate

file_a=$(wp install-plugin "${zip[$id_a]}" | tail -n 1)
file_b=$(wp install-plugin "${zip[$id_b]}" | tail -n 1)
check "WordPress's installer installs both as $id_a/plugin.php and $id_b/plugin.php" \
    [ "$file_a" = "$id_a/plugin.php" -a "$file_b" = "$id_b/plugin.php" ]
rm -rf "$work/out-b"
[ -f "$plugins_dir/$id_a/plugin.php" ] || abort "plugin $id_a is in $plugins_dir/$id_a"

wp plugin-data "$file_a" >"$work/plugin-data"
header_errors=()
for pair in "Name|$name_a" "PluginURI|$uri_a" "Description|$description_a" "Version|$version_a" \
    "Author|$author_a" "AuthorURI|$author_uri_a"; do
    key=${pair%%|*}
    got=$(field "$key" <"$work/plugin-data")
    [ "$got" = "${pair#*|}" ] || header_errors+=("$key: got '$got', typed '${pair#*|}'")
done
expect_none "get_plugin_data() returns the typed name, URI, description, version, author and author URI" \
    "${header_errors[@]}"

# Unpacked and never activated, the plugins serve no product file at an address anyone could
# know: the build packs them into a folder of modules named at random, which no listing shows,
# and keeps no copy of the download page.
# ADDRESS|FILE WHOSE BYTES IT MUST NOT ANSWER WITH (a listing must not name the packed folder)
url_path() { php -r 'echo implode("/", array_map("rawurlencode", explode("/", $argv[1])));' "$1"; }
# packed_folder ID [PLUGINS_DIR]: the folder of modules the plugin's archive packed the product's
# files in.
packed_folder() { sed -n "s/^return '\(product-[a-z0-9]\{32\}\)';$/\1/p" "${2:-$plugins_dir}/$1/modules/delivery_folder.php"; }
packed_a=$(packed_folder "$id_a")
unpacked=("$plugins_url/$id_a/modules/template/$product|$sample/$product"
    "$plugins_url/$id_a/modules/template/download.html|$sample/download.html"
    "$plugins_url/$id_b/modules/template/$product|$sample/$product"
    "$plugins_url/$id_b/modules/template/$(url_path "$odd")|$product_b/$odd"
    "$plugins_url/$id_b/modules/template/$big|$product_b/$big"
    "$plugins_url/$id_a/modules/|" "$plugins_url/$id_b/modules/|")
served=()
for row in "${unpacked[@]}"; do
    status=$(fetch "${row%%|*}" "$work/probe")
    if [ -z "${row#*|}" ]; then
        grep -q 'product-' "$work/probe" && served+=("${row%%|*} names the packed folder")
    elif { [ "$status" != 403 ] && [ "$status" != 404 ]; } || cmp -s "$work/probe" "${row#*|}"; then
        served+=("${row%%|*}: status $status")
    fi
done
[ ${#packed_a} -eq 40 ] && [ "$(packed_folder "$id_b")" != "$(packed_folder "$id_a")" ] &&
    cmp -s "$plugins_dir/$id_a/modules/$packed_a/$product" "$sample/$product" ||
    served+=("the packed folders are '$packed_a' and '$(packed_folder "$id_b")'")
expect_none "installed and not yet activated, the plugins' product files lie in a folder named at random and unlisted, nowhere else" \
    "${served[@]}"
[ "$(fetch "$plugins_url/$id_b/modules/template/files/preview.txt" /dev/null)" = 200 ]
verdict "while a file beside them that is not delivered is served"

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
for file in plugin.php uninstall.php index.php modules/cpt.php modules/cpt_template_loader.php \
    modules/admin.php modules/store.php modules/delivery_links.php modules/delivery.php \
    modules/private_pages.php modules/template/template.php modules/template/thanks.php \
    modules/template/page.php \
    modules/template/converted_index.php modules/template/converted_download.php \
    modules/template/files/index.php; do
    status=$(fetch "$plugins_url/$id_a/$file" "$work/direct")
    [ "$status" = 200 ] && [ ! -s "$work/direct" ] || noisy+=("$file: status $status, $(head -c 200 "$work/direct")")
done
expect_none "the plugin's PHP files, its converted pages too, answer nothing when called directly, errors shown or not" "${noisy[@]}"

### The site owner's menu: log in, read it, save both tags with the settings form

jar=$work/cookies
login admin "$password" "$jar" || abort "the administrator logs in"

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
lifetime_option=$(field lifetime_option <"${keys[$id_a]}")
pdf_url=$plugins_url/$id_a/modules/template/$product
front_html='<form action="https://pay.example.com/checkout" method="post"><input type="hidden" name="item" value="herbs-1"><button type="submit" onclick="steal()">Buy now – €9,90</button></form><script>alert("front")</script>'
back_html='<p><a class="button" href="'$pdf_url'">Download “The Balcony Herb Garden” (PDF)</a></p><img src="x" onerror="alert(1)" alt="">'
status=$(post_form "$admin" options.php "$jar" "$front_option=$front_html" "$back_option=$back_html" \
    "$lifetime_option=1440")
[[ "$status" == "302 $menu_url&settings-updated=true" ]]
verdict "posting the settings form with its nonce saves and returns to the menu" "got: $status"
status=$(fetch "$site/wp-admin/options.php" /dev/null -b "$jar" \
    --data-binary "$(php "$here/html-tool.php" form "$admin" options.php _wpnonce=forged "$front_option=forged")")
[ "$status" = 403 ] && [ "$(wp get-option "$front_option")" != forged ]
verdict "a forged nonce is refused" "got: $status"

wp get-option "$front_option" >"$work/front-a"
wp get-option "$back_option" >"$work/back-a"
# The administrator may post unfiltered HTML: both are kept as pasted, scripts and handlers included.
[ "$(cat "$work/front-a")" = "$front_html" ] && [ "$(cat "$work/back-a")" = "$back_html" ]
verdict "the administrator's HTML is saved as pasted"
check "saved download HTML keeps the link" contains "$work/back-a" "href=\"$pdf_url\""

fetch "$menu_url" "$admin" -b "$jar" >/dev/null
check "with both set, the menu page warns of nothing" \
    [ -z "$(php "$here/html-tool.php" xpath "$admin" '//div[contains(@class,"notice-warning") or contains(@class,"notice-error")]')" ]
check "the menu page shows the saved HTML for editing" \
    [ "$(php "$here/html-tool.php" xpath "$admin" "//textarea[@name='$front_option']")" = "$(cat "$work/front-a")" ]

### What visitors get

# Signed download links, put back to the plugin addresses they stand for, so the served page
# can be compared with the converted one.
unsign() { # ID
    local arg
    arg=$(field download_arg <"${keys[$1]}")
    sed -E "s#$site/\\?$arg=[0-9a-f]{16}\\.[0-9]+\\.[0-9a-f]{64}#$plugins_url/$1/modules/template/$product#g"
}

# check_page WHAT URL CONVERTED_PAGE VARIABLE TAG_FILE ID
check_page() {
    local what=$1 url=$2 converted=$3 variable=$4 tag=$5 id=$6
    local page=$work/$what-$id.html expected=$work/$what-$id.expected headers=$work/$what-$id.headers
    local status
    status=$(fetch "$url" "$page" -D "$headers")
    [ "$status" = 200 ] && grep -qi '^content-type: text/html; charset=utf-8' "$headers"
    verdict "the $what page of $id answers 200 as UTF-8" "got: $status"
    php -d short_open_tag=1 "$here/render-page.php" "$converted" "$variable" "$tag" "$plugins_dir" "$plugins_url" >"$expected"
    unsign "$id" <"$page" >"$page.unsigned"
    if cmp -s "$page.unsigned" "$expected"; then
        pass "the $what page of $id is exactly the converted page with its tag's HTML, no theme around it"
    else
        fail "the $what page of $id is exactly the converted page with its tag's HTML, no theme around it" \
            "$(diff "$expected" "$page.unsigned" | head -n 10)"
    fi
    check "the $what page of $id holds its tag's HTML" contains "$page.unsigned" "$(cat "$tag")"
    check "the $what page of $id keeps non-ASCII text intact" contains "$page" "© 2024 Little Green Press ·"

    local prefix=$plugins_url/$id/modules/template/ asset_url relative bad=()
    local assets
    assets=$(grep -oE "https?://[^\"' )]*$plugins_path/$id/modules/template/[^\"' )]*" "$page" | sort -u)
    for asset_url in $assets; do
        relative=${asset_url#"$prefix"}
        status=$(fetch "$asset_url" "$work/asset")
        if [ "$status" != 200 ] || ! cmp -s "$work/asset" "$sample/$relative"; then
            bad+=("$asset_url: status $status, differs from $sample/$relative")
        fi
    done
    if [ -z "$assets" ]; then
        fail "the $what page of $id refers to its pictures and style sheet" "no rewritten addresses found"
    else
        expect_none "all $(wc -w <<<"$assets") asset addresses of the $what page of $id answer 200 with the sample's exact bytes" \
            "${bad[@]}"
    fi
}

template_a=$plugins_dir/$id_a/modules/template
packed_dir_a=$plugins_dir/$id_a/modules/$packed_a
check_page sales "$sales_url" "$template_a/converted_index.php" front_tag "$work/front-a" "$id_a"
check "the sales page shows the reviewer's name intact" contains "$work/sales-$id_a.html" "— Zoë Müller, Århus"
check_page download "$download_url" "$template_a/converted_download.php" back_tag "$work/back-a" "$id_a"
lacks "$work/download-$id_a.html" "$pdf_url" &&
    [ "$(grep -oE "$site/\\?$(field download_arg <"${keys[$id_a]}")=[0-9a-f]{16}\\.[0-9]+\\.[0-9a-f]{64}" \
        "$work/download-$id_a.html" | wc -l)" = 2 ]
verdict "the download page links the guide only through expiring links, in the page and in the tag's HTML"
grep -qi '^x-robots-tag: noindex, nofollow' "$work/download-$id_a.headers" &&
    grep -qi '^cache-control: private, no-store' "$work/download-$id_a.headers" &&
    grep -qi '^referrer-policy: same-origin' "$work/download-$id_a.headers"
verdict "the download page keeps search engines, caches and other sites' logs away from its address"

### The second plugin, its tags saved with update_option, serves its own pages

printf '%s' '<a class="buy" href="https://pay.example.com/kit">Buy the kit</a><script>x()</script>' >"$work/front-b-typed"
printf '%s' '<a href="https://files.example.com/kit.zip">Kit download</a>' >"$work/back-b"
cp "$work/front-b-typed" "$work/front-b"
wp set-tags "$file_b" "$work/front-b-typed" "$work/back-b"
check "the second plugin's HTML, saved with update_option by an administrator, is kept as typed" \
    [ "$(wp get-option "$(field front_option <"${keys[$id_b]}")")" = "$(cat "$work/front-b")" ]
template_b=$plugins_dir/$id_b/modules/template
check_page sales "$(field sales_url <"${keys[$id_b]}")" "$template_b/converted_index.php" front_tag "$work/front-b" "$id_b"
check "the second plugin's sales page starts with its XML declaration as text" \
    [ "$(head -n 1 "$work/sales-$id_b.html")" = "$xml_declaration" ]
check_page download "$(field download_url <"${keys[$id_b]}")" "$template_b/converted_download.php" back_tag "$work/back-b" "$id_b"
fetch "$site/wp-admin/admin.php?page=$(field menu_slug <"${keys[$id_b]}")" "$work/admin-b.html" -b "$jar" >/dev/null
check "the second plugin's menu page shows its name as typed, dollars and braces included" \
    [ "$(php "$here/html-tool.php" xpath "$work/admin-b.html" '//div[@class="wrap"]/h1')" = "$name_b" ]
fetch "$sales_url" "$work/sales-again.html" >/dev/null
check "the first plugin's sales page still holds its own HTML" contains "$work/sales-again.html" "$(cat "$work/front-a")"

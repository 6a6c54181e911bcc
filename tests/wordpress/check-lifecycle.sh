# A newer version uploaded over the plugin, a store that cannot take the files, deactivating,
# reactivating and uninstalling. Sourced by run-wordpress-test.sh after check-delivery.sh.

# upload_again: the plugin's archive installed over it, as "Replace current with uploaded" does;
# prints what the guide's plugin address answers right after, before any other request.
upload_again() {
    wp install-plugin "${zip[$id_a]}" overwrite >/dev/null &&
        fetch "$plugins_url/$id_a/modules/$packed_a/$product" /dev/null
    local status=$?
    sleep 3 # Apache's PHP looks for changed files every 2 seconds
    return $status
}

### A newer version uploaded over this one

status=$(upload_again)
verdict "WordPress's installer puts a newer version over the active plugin"
[ ! -e "$packed_dir_a/$product" ] && { [ "$status" = 403 ] || [ "$status" = 404 ]; } &&
    cmp -s "$store_a/files/$product" "$sample/$product"
verdict "the upload itself moves the guide back into the store: its plugin address is refused at once" \
    "status $status"

# Neither moved nor copied over the store's copy.
chmod 444 "$store_a/files/$product" && chmod 555 "$(dirname "$store_a/files/$product")"
upload_again >/dev/null
fetch "$site/wp-admin/" "$work/dashboard.html" -b "$jar" >/dev/null
fetch "$menu_url" "$admin" -b "$jar" >/dev/null
[ -f "$packed_dir_a/$product" ] &&
    php "$here/html-tool.php" xpath "$work/dashboard.html" '//div[contains(@class,"ostrel-public")]' >"$work/notice" &&
    contains "$work/notice" "your product is still public" && contains "$work/notice" "$product" &&
    contains "$work/notice" "Permission denied" && contains "$admin" "Still public:"
verdict "a file the store cannot take stays, and the dashboard and the plugin's page say the product is still public and why"
fetch "$download_url" "$work/public.html" >/dev/null
status=$(fetch "$(links_in "$work/public.html" | head -n 1)" "$work/got")
check "buyers still get the guide meanwhile" [ "$status" = 200 ]
chmod 755 "$(dirname "$store_a/files/$product")" && chmod 644 "$store_a/files/$product"
fetch "$site/" /dev/null >/dev/null
fetch "$site/wp-admin/" "$work/dashboard.html" -b "$jar" >/dev/null
[ ! -e "$packed_dir_a/$product" ] && lacks "$work/dashboard.html" "still public" &&
    [ -z "$(wp get-option "$(field problems_option <"${keys[$id_a]}")")" ]
verdict "once the store can take it, the next request moves it, the notice goes and so does the stored problem"

### Version 1.1 over 1.0, active or not: a changed guide and a new file listed before it, and
### once the guide renamed

v11=$work/sample-1.1
cp -r "$sample" "$v11"
printf '%s' ' and a second edition' >>"$v11/$product"
printf '%s' '%PDF bonus' >"$v11/files/aaa-bonus.pdf"
renamed=files/balcony-herb-garden-2nd-edition.pdf
v11r=$work/sample-1.1-renamed
cp -r "$v11" "$v11r"
mv "$v11r/$product" "$v11r/$renamed"
sed -i "s|$product|$renamed|g" "$v11r/download.html"
# The files of the store, one path a line, sorted.
stored_files() { (cd "$store_a/files" && find . -type f ! -name index.php ! -name .htaccess ! -name web.config | sed 's|^\./||' | sort); }
# LABEL|SOURCE|ACTIVE OR INACTIVE|WHAT 1.0'S LINK GIVES (a file, or "refused")|DELIVERY FILES...
versions=(
    "1.1 over the active 1.0|$v11|active|$v11/$product|files/aaa-bonus.pdf $product"
    "1.1 over the inactive 1.0|$v11|inactive|$v11/$product|files/aaa-bonus.pdf $product"
    "1.1 with the guide renamed, over the active 1.0|$v11r|active|refused|files/aaa-bonus.pdf $renamed"
)
for n in "${!versions[@]}"; do
    IFS='|' read -r label source state gives delivered <<<"${versions[$n]}"
    wrong=()
    fetch "$download_url" "$work/before-1.1.html" >/dev/null
    old_link=$(links_in "$work/before-1.1.html" | head -n 1)
    # shellcheck disable=SC2086 # one delivery file a word
    build "$source" "$work/out-1.1-$n" "$id_a" "$name_a" "$uri_a" "$description_a" 1.1 "$author_a" "$author_uri_a" \
        $(printf -- '--deliver %s ' $delivered) >"$work/build-1.1.out" 2>/dev/null || wrong+=("the build failed")
    [ "$state" = inactive ] && wp deactivate "$file_a"
    wp install-plugin "$(tail -n 1 "$work/build-1.1.out")" overwrite >/dev/null || wrong+=("the upload failed")
    # Inactive, the new files wait in their folder named at random; active, the upload moves them.
    addresses=(template)
    [ "$state" = active ] && addresses+=("$(packed_folder "$id_a")")
    for path in $delivered; do
        for folder in "${addresses[@]}"; do
            status=$(fetch "$plugins_url/$id_a/modules/$folder/$path" "$work/probe")
            cmp -s "$work/probe" "$source/$path" &&
                wrong+=("right after the upload, $path was public in $folder (status $status)")
        done
    done
    sleep 3 # Apache's PHP looks for changed files every 2 seconds
    [ "$state" = inactive ] && wp activate "$file_a"
    fetch "$site/" /dev/null >/dev/null
    [ "$(stored_files)" = "$(tr ' ' '\n' <<<"$delivered" | sort)" ] ||
        wrong+=("the store holds $(stored_files | tr '\n' ' ')")
    if [ "$gives" = refused ]; then
        status=$(fetch "$old_link" "$work/got")
        [ "$status" = 403 ] && contains "$work/got" "no longer valid" || wrong+=("1.0's link to the renamed guide: status $status")
        fetch "$menu_url" "$admin" -b "$jar" >/dev/null
        php "$here/html-tool.php" xpath "$admin" '//div[contains(@class,"ostrel-gone-links")]//code' >"$work/gone"
        [ "$(cat "$work/gone")" = "$product" ] ||
            wrong+=("the plugin's page names '$(cat "$work/gone")' as linked but gone, not the old guide")
    else
        status=$(fetch "$old_link" "$work/got")
        [ "$status" = 200 ] && cmp -s "$work/got" "$gives" || wrong+=("1.0's link gave status $status and other bytes")
        fetch "$menu_url" "$admin" -b "$jar" >/dev/null
        lacks "$admin" ostrel-gone-links || wrong+=("the plugin's page says a linked file is gone")
    fi
    expect_none "$label: nothing public meanwhile, the store holds 1.1's files only, 1.0's links as promised" "${wrong[@]}"
    upload_again >/dev/null # back to 1.0
done
got=$(stored_files)
[ "$got" = "$product" ]
verdict "back at 1.0, the store holds 1.0's files only: 1.1's bonus is gone, 1.0's guide is back" "$got"
cmp -s "$store_a/files/$product" "$sample/$product"
verdict "and 1.0's guide has 1.0's bytes"

### Deactivating and reactivating

link=$(links_in "$work/public.html" | head -n 1)
wp deactivate "$file_a"
verdict "the plugin deactivates"
status=$(fetch "$sales_url" /dev/null)
status+=" $(fetch "$download_url" /dev/null)"
status+=" $(fetch "$link" "$work/got")"
[ "$status" = "404 404 200" ] && ! cmp -s "$work/got" "$sample/$product" &&
    [ -f "$store_a/files/$product" ] && [ "$(fetch "$store_url/files/$product" /dev/null)" = 403 ]
verdict "deactivated, the pages answer 404, the link gives no file, and the guide stays in the store, unreachable" \
    "statuses: $status"
wp activate "$file_a"
verdict "the plugin activates again"
status=$(fetch "$sales_url" /dev/null)
status+=" $(fetch "$download_url" /dev/null)"
status+=" $(fetch "$link" "$work/got")"
[ "$status" = "200 200 200" ] && cmp -s "$work/got" "$sample/$product" &&
    [ "$(field store_dir < <(wp keys "$file_a"))" = "$store_a" ]
verdict "reactivated, both pages and the links handed out before work again at the same addresses" \
    "statuses: $status"

### Nothing in the debug log comes from the plugins

if [ -s "$debug_log" ]; then
    echo "---- WP_DEBUG log ----"
    cat "$debug_log"
    echo "----"
fi
plugin_lines=$(grep -E "${plugins_path#/}/($id_a|$id_b)/" "$debug_log" 2>/dev/null)
expect_none "the WP_DEBUG log holds no error, warning, notice or deprecation from the plugins" \
    ${plugin_lines:+"$plugin_lines"}

### Uninstall: nothing is left behind, and the other plugin is untouched.
### The second plugin goes first: its identifier holds the first one's.

# leftovers ID: what the database still holds of the plugin.
leftovers() {
    local id=$1
    wp leftovers "$id" "$(field post_type <"${keys[$id]}")" \
        "$(field sales_id <"${keys[$id]}")" "$(field download_id <"${keys[$id]}")"
}

# uninstall ID PLUGIN_FILE
uninstall() {
    local id=$1 file=$2 left status store
    store=$(field store_dir <"${keys[$id]}")
    check "uninstalling $id deactivates and deletes it" wp uninstall "$file"
    check "the folder of $id is gone" [ ! -e "$plugins_dir/$id" ]
    check "the store of $id is gone with the product's files" [ -n "$store" -a ! -e "$(dirname "$store")" ]
    left=$(leftovers "$id")
    [ -z "$left" ]
    verdict "no option, post, post meta or rewrite rule of $id is left" "$left"
    status=$(fetch "$(field sales_url <"${keys[$id]}")" /dev/null)
    check "the sales page of $id is gone (404)" [ "$status" = 404 ]
}

uninstall "$id_b" "$file_b"
[ "$(leftovers "$id_a" | grep -c .)" -ge 6 ] && [ -f "$store_a/files/$product" ]
verdict "$id_a keeps its options, pages and store meanwhile"
status=$(fetch "$sales_url" "$work/sales-a-after.html")
[ "$status" = 200 ] && contains "$work/sales-a-after.html" "$(cat "$work/front-a")"
verdict "$id_a still serves its sales page"
uninstall "$id_a" "$file_a"

# A newer version uploaded over the plugin, a store that cannot take the files, deactivating,
# reactivating and uninstalling. Sourced by run-wordpress-test.sh after check-delivery.sh.

# upload_again: the plugin's archive installed over it, as "Replace current with uploaded" does;
# prints what the guide's plugin address answers right after, before any other request.
upload_again() {
    wp install-plugin "${zip[$id_a]}" overwrite >/dev/null &&
        fetch "$plugins_url/$id_a/modules/template/$product" /dev/null
}

### A newer version uploaded over this one

status=$(upload_again)
verdict "WordPress's installer puts a newer version over the active plugin"
[ ! -e "$template_a/$product" ] && [ "$status" = 404 ] && cmp -s "$store_a/files/$product" "$sample/$product"
verdict "the upload itself moves the guide back into the store: its plugin address is gone at once" \
    "status $status"

chmod 555 "$(dirname "$store_a/files/$product")"
upload_again >/dev/null
fetch "$site/wp-admin/" "$work/dashboard.html" -b "$jar" >/dev/null
fetch "$menu_url" "$admin" -b "$jar" >/dev/null
[ -f "$template_a/$product" ] &&
    php "$here/html-tool.php" xpath "$work/dashboard.html" '//div[contains(@class,"ostrel-public")]' >"$work/notice" &&
    contains "$work/notice" "your product is still public" && contains "$work/notice" "$product" &&
    contains "$work/notice" "Permission denied" && contains "$admin" "Still public:"
verdict "a file the store cannot take stays, and the dashboard and the plugin's page say the product is still public and why"
fetch "$download_url" "$work/public.html" >/dev/null
status=$(fetch "$(links_in "$work/public.html" | head -n 1)" "$work/got")
check "buyers still get the guide meanwhile" [ "$status" = 200 ]
chmod 755 "$(dirname "$store_a/files/$product")"
fetch "$site/" /dev/null >/dev/null
fetch "$site/wp-admin/" "$work/dashboard.html" -b "$jar" >/dev/null
[ ! -e "$template_a/$product" ] && lacks "$work/dashboard.html" "still public" &&
    [ -z "$(wp get-option "$(field problems_option <"${keys[$id_a]}")")" ]
verdict "once the store can take it, the next request moves it, the notice goes and so does the stored problem"

### Version 1.1: a changed guide, and a new file listed before it

# A link handed out by 1.0 names its file, not its place in the list: it keeps working and
# delivers 1.1's bytes.
v11=$work/sample-1.1
cp -r "$sample" "$v11"
printf '%s' ' and a second edition' >>"$v11/$product"
printf '%s' '%PDF bonus' >"$v11/files/aaa-bonus.pdf"
fetch "$download_url" "$work/before-1.1.html" >/dev/null
old_link=$(links_in "$work/before-1.1.html" | head -n 1)
build "$v11" "$work/out-1.1" "$id_a" "$name_a" "$uri_a" "$description_a" 1.1 "$author_a" "$author_uri_a" \
    --deliver files/aaa-bonus.pdf --deliver "$product" >"$work/build-1.1.out" 2>/dev/null &&
    wp install-plugin "$(tail -n 1 "$work/build-1.1.out")" overwrite >/dev/null
status=$(fetch "$old_link" "$work/got")
[ -n "$old_link" ] && [ "$status" = 200 ] && cmp -s "$work/got" "$v11/$product"
verdict "after 1.1 goes over 1.0, a link 1.0 handed out gives 1.1's guide" "status $status for '$old_link'"
upload_again >/dev/null # back to 1.0 for what follows
[ ! -e "$store_a/files/files/aaa-bonus.pdf" ] && cmp -s "$store_a/files/$product" "$sample/$product"
verdict "back at 1.0, the store holds 1.0's files only: 1.1's bonus is gone, 1.0's guide is back"

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

# What the site owner is shown on the way to a working sales page, and the buy button's HTML as
# an administrator and as a manager without unfiltered HTML paste it. Sourced by
# run-wordpress-test.sh after check-lifecycle.sh, which uninstalled both plugins: the first one
# is installed again, fresh.

log_start=$(stat -c %s "$debug_log" 2>/dev/null || echo 0)
file_g=$(wp install-plugin "${zip[$id_a]}" | tail -n 1) && wp activate "$file_g" &&
    wp keys "$file_g" >"$work/keys-g" || abort "the first plugin installs and activates again"
page_url=$site/wp-admin/admin.php?page=$(field menu_slug <"$work/keys-g")
sales_g=$(field sales_url <"$work/keys-g")
front_g=$(field front_option <"$work/keys-g")
back_g=$(field back_option <"$work/keys-g")
template_g=$plugins_dir/$id_a/modules/template

### Leading the site owner to the plugin's page

plugins=$work/plugins.html
fetch "$site/wp-admin/plugins.php" "$plugins" -b "$jar" >/dev/null
check "after activation, a notice links to the plugin's page" [ "$(php "$here/html-tool.php" xpath \
    "$plugins" '//div[contains(@class,"ostrel-welcome")]//a/@href')" = "$page_url" ]
check "the Plugins screen has a Settings link to the plugin's page" [ "$(php "$here/html-tool.php" xpath \
    "$plugins" "//tr[@data-plugin='$file_g']//span[@class='settings']/a/@href")" = "$page_url" ]
fetch "$site/wp-admin/plugins.php" "$plugins" -b "$jar" >/dev/null
wp deactivate "$file_g" && wp activate "$file_g" && fetch "$page_url" /dev/null -b "$jar" >/dev/null &&
    fetch "$site/wp-admin/index.php" "$work/dashboard.html" -b "$jar" >/dev/null
lacks "$plugins" ostrel-welcome && lacks "$work/dashboard.html" ostrel-welcome
verdict "the notice shows once, and not at all once the plugin's page was visited"
check "the post type is labelled with the plugin's name" \
    [ "$(wp post-type-label "$(field post_type <"$work/keys-g")")" = "$name_a" ]

# visitor_page TAG_FILE: whether a visitor gets the converted sales page with exactly that HTML.
visitor_page() {
    [ "$(fetch "$sales_g" "$work/sales-g.html")" = 200 ] &&
        php -d short_open_tag=1 "$here/render-page.php" "$template_g/converted_index.php" front_tag "$1" \
            "$plugins_dir" "$plugins_url" |
        cmp -s - "$work/sales-g.html"
}

fetch "$sales_g" "$work/sales-g-admin.html" -b "$jar" >/dev/null
[ "$(php "$here/html-tool.php" xpath "$work/sales-g-admin.html" \
    '//div[@class="ostrel-placeholder"]//a/@href')" = "$page_url" ]
verdict "with no buy button, the administrator sees on the sales page where to paste one"
check "visitors see nothing in its place" visitor_page /dev/null

### The buy button's HTML

button='<script src="https://pay.example/button.js" data-key="k1"></script><div data-pay="x" aria-label="Pay"></div><iframe src="https://pay.example/f"></iframe>'
printf '%s' "$button" >"$work/button"
fetch "$page_url" "$work/page-g.html" -b "$jar" >/dev/null
status=$(post_form "$work/page-g.html" options.php "$jar" "$front_g=$button" "$back_g=")
[[ "$status" == "302 $page_url&settings-updated=true" ]] && [ "$(wp get-option "$front_g")" = "$button" ]
verdict "an administrator's script-based buy button is saved as pasted" "got: $status"
check "visitors get it byte for byte" visitor_page "$work/button"

seller_jar=$work/seller-cookies
wp add-user seller "$password" administrator && wp deny-cap seller unfiltered_html &&
    login seller "$password" "$seller_jar" || abort "a manager without unfiltered HTML logs in"
fetch "$page_url" "$work/page-seller.html" -b "$seller_jar" >/dev/null
status=$(post_form "$work/page-seller.html" options.php "$seller_jar" "$front_g=$button" "$back_g=")
check "the manager's settings form saves" [ "$status" = "302 $page_url&settings-updated=true" ]
check "the manager's buy button loses its script, keeps its iframe and data- and aria- attributes" \
    [ "$(wp get-option "$front_g")" = '<div data-pay="x" aria-label="Pay"></div><iframe src="https://pay.example/f"></iframe>' ]
fetch "${status#* }" "$work/page-seller.html" -b "$seller_jar" >/dev/null
said=$(php "$here/html-tool.php" xpath "$work/page-seller.html" '//div[contains(@class,"settings-error")]/p')
[ "$said" = "Your buy button's HTML was cleaned: scripts were removed, because your account may not post unfiltered HTML." ]
verdict "the plugin's page tells the manager the script was removed, and why" "got: $said"

# The rest comes from WordPress itself on this site: update checks it may not make, and PHP 8's
# deprecations in its login.
logged=$(tail -c +$((log_start + 1)) "$debug_log" 2>/dev/null | grep -E "${plugins_path#/}/$id_a/|\b$id_a\b")
expect_none "nothing of the plugin reached the WP_DEBUG log meanwhile" ${logged:+"$logged"}

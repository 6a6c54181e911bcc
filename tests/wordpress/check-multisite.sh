# A network of sites: network activation sets up every site, sites made later too; each site's
# administrator can use the plugin's page; uninstalling leaves nothing on any site.
# Sourced by run-wordpress-test.sh, after the single-site checks.

# shellcheck source=multisite.sh
. "$here/multisite.sh"
start_multisite

second_id=$(ms / add-site second)
[ -n "$second_id" ] || abort "the network gets a second site"
ms_file=$(ms / install-plugin "${zip[$id_a]}" | tail -n 1)
check "the network installs the plugin as $id_a/plugin.php" [ "$ms_file" = "$id_a/plugin.php" ]
check "the plugin activates for the whole network" ms / network-activate "$ms_file"
third_id=$(ms / add-site third)
[ -n "$third_id" ] || abort "the network gets a third site after the activation"

# ms_pages PATH: the plugin's keys on the site at PATH; checks that both its pages answer.
ms_pages() {
    local path=$1 keys_file=$work/ms-keys${1//\//-}
    ms "$path" keys "$ms_file" >"$keys_file"
    local sales download
    sales=$(field sales_url <"$keys_file")
    download=$(field download_url <"$keys_file")
    [ "$(fetch "$sales" "$work/ms-sales.html")" = 200 ] && [ "$(fetch "$download" /dev/null)" = 200 ] &&
        [[ $sales == "$ms_site$path"* ]]
    verdict "the site at $path has its own sales and download pages" "sales: $sales, download: $download"
}
for path in / /second/ /third/; do
    ms_pages "$path"
done

# The second site's own administrator, who is no network administrator.
ms /second/ add-site-admin siteadmin "$password"
ms_jar=$work/ms-cookies
fetch "$ms_site/second/wp-login.php" /dev/null -c "$ms_jar" >/dev/null
[ "$(fetch "$ms_site/second/wp-login.php" /dev/null -b "$ms_jar" -c "$ms_jar" \
    --data-urlencode "log=siteadmin" --data-urlencode "pwd=$password" -d testcookie=1 \
    --data-urlencode "redirect_to=$ms_site/second/wp-admin/")" = 302 ] ||
    abort "the second site's administrator logs in"
ms_menu_url="$ms_site/second/wp-admin/admin.php?page=$(field menu_slug <"$work/ms-keys-second-")"
status=$(fetch "$ms_menu_url" "$work/ms-admin.html" -b "$ms_jar")
[ "$status" = 200 ] && lacks "$work/ms-admin.html" "This page is missing"
verdict "the second site's administrator gets the plugin's page with both pages in place" "status $status"

# On a network only its administrators may post unfiltered HTML: a site's administrator's buy
# button loses its script, and the plugin's page says so.
ms_front=$(field front_option <"$work/ms-keys-second-")
ms_button='<script src="https://pay.example/button.js"></script><div data-pay="x" aria-label="Pay"></div>'
status=$(site="$ms_site/second" post_form "$work/ms-admin.html" options.php "$ms_jar" \
    "$ms_front=$ms_button" "$(field back_option <"$work/ms-keys-second-")=")
[ "$(ms /second/ get-option "$ms_front")" = '<div data-pay="x" aria-label="Pay"></div>' ]
verdict "a site administrator's buy button loses its script on a network" "status $status"
fetch "$ms_menu_url&settings-updated=true" "$work/ms-admin.html" -b "$ms_jar" >/dev/null
said=$(php "$here/html-tool.php" xpath "$work/ms-admin.html" '//div[contains(@class,"settings-error")]/p')
[[ $said == *"scripts were removed"* ]]
verdict "the plugin's page tells the site administrator the script was removed" "got: $said"

# The sites share the plugin's folder, so they share one private store: the guide left the
# folder once, and every site's download links reach it.
check "the guide left the network's plugin folder" \
    [ ! -e "$ms_dir/wp-content/plugins/$id_a/modules/template/$product" ]
for path in /second/ /third/; do
    link=$(ms "$path" sign-link "$ms_file" 0 $(($(date +%s) + 600)))
    status=$(fetch "$link" "$work/ms-guide")
    [ "$status" = 200 ] && cmp -s "$work/ms-guide" "$sample/$product"
    verdict "a download link of the site at $path hands out the guide" "status $status for $link"
done

# Uninstalling from the network leaves nothing on any site.
ms_post_type=$(field post_type <"$work/ms-keys-")
check "the network uninstalls the plugin" ms / network-uninstall "$ms_file"
for path in / /second/ /third/; do
    keys_file=$work/ms-keys${path//\//-}
    left=$(ms "$path" leftovers "$id_a" "$ms_post_type" "$(field sales_id <"$keys_file")" \
        "$(field download_id <"$keys_file")")
    [ -z "$left" ]
    verdict "no option, post or post meta of the plugin is left on the site at $path" "$left"
done
network_left=$(sql network -N -e "SELECT meta_key FROM wp_sitemeta WHERE meta_key LIKE '%$id_a%'")
[ -z "$network_left" ]
verdict "no network option of the plugin is left" "$network_left"
network_lines=$(grep -F "/plugins/$id_a/" "$debug_log" 2>/dev/null)
expect_none "nothing of the plugin reached the WP_DEBUG log on the network" \
    ${network_lines:+"$network_lines"}

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
ms_keys=$work/ms-keys-second-
ms_menu_url="$ms_site/second/wp-admin/admin.php?page=$(field menu_slug <"$ms_keys")"

# Network-active, the plugin belongs to the network's administrators: a site's administrator
# gets neither its page nor the download page's address by any route.
status=$(fetch "$ms_menu_url" "$work/ms-admin.html" -b "$ms_jar")
[ "$status" = 403 ] && ! names_download_page "$work/ms-admin.html"
verdict "a site's administrator does not get the plugin's page of a network-active plugin" "status $status"
fetch "$ms_site/second/wp-admin/" "$work/ms-dashboard.html" -b "$ms_jar" >/dev/null
check "nor a menu entry for it" lacks "$work/ms-dashboard.html" "page=$(field menu_slug <"$ms_keys")"
leaks=()
site=$ms_site/second site_dir=$ms_dir port=$ms_port WP_PATH=/second/ \
    download_id=$(field download_id <"$ms_keys") sales_id=$(field sales_id <"$ms_keys") \
    sales_url=$(field sales_url <"$ms_keys") secret=$(field download_name <"$ms_keys") \
    probe_routes siteadmin "$ms_jar"
expect_none "no admin-ajax or XML-RPC route nor Query Loop names a site's download page to its administrator" \
    "${leaks[@]}"
[ "$(ms /second/ keys "$ms_file" | field download_name)" = "$(field download_name <"$ms_keys")" ] &&
    [ "$(fetch "$(field download_url <"$ms_keys")" /dev/null)" = 200 ]
verdict "the site's download page keeps its address"

# The sites share the plugin's folder, so they share one private store: the guide left the
# folder once, and every site's download links reach it.
check "the guide left the network's plugin folder" \
    [ -z "$(find "$ms_dir/wp-content/plugins/$id_a" -path "*/$product")" ]
for path in /second/ /third/; do
    link=$(ms "$path" sign-link "$ms_file" 0 $(($(date +%s) + 600)))
    status=$(fetch "$link" "$work/ms-guide")
    [ "$status" = 200 ] && cmp -s "$work/ms-guide" "$sample/$product"
    verdict "a download link of the site at $path hands out the guide" "status $status for $link"
done

# Active on one site only, the plugin belongs to that site's administrator, who may not post
# unfiltered HTML on a network: the buy button's and the download links' HTML are cleaned of
# whatever could run code or send the buyer elsewhere, when saved and so when served. The text
# around each stays. HTML|WHAT MUST NOT SURVIVE (case-insensitive, extended regular expression)
# A javascript: address as a browser reads it, its colon written out or not.
js='javascript(:|&colon;|&#0*58;?|&#x0*3a;?)'
hostile_html=(
    '<img src="logo.png" alt="" onerror="alert(1)">|onerror'
    "<a href=\"javascript:alert(1)\">Buy</a>|$js"
    "<a href=\" JaVaScRiPt&colon;alert(1)\">Buy</a>|$js"
    "<a href=\"java&#x09;script&#58;alert(1)\">Buy</a>|$js|java&#x09;script"
    '<a href="data:text/html;base64,PHNjcmlwdD5hbGVydCgxKTwvc2NyaXB0Pg==">Buy</a>|data:'
    "<form action=\"javascript:alert(1)\"><input type=\"submit\" value=\"Buy\"></form>|$js"
    "<form action=\"https://pay.example/\"><button formaction=\"javascript:alert(1)\">Buy</button></form>|formaction|$js"
    "<input type=\"image\" src=\"javascript:alert(1)\" alt=\"Buy\">|$js"
    "<iframe src=\"javascript:alert(1)\"></iframe>|$js"
    '<iframe srcdoc="&lt;script&gt;alert(1)&lt;/script&gt;"></iframe>|srcdoc|alert'
    '<svg><script>alert(1)</script></svg>|<svg|alert'
    '<div style="background-image:url(https://tracker.example/pixel.png)">Buy</div>|url\('
    '<div style="color:red;background:URL(javascript:alert(1))">Buy</div>|url\(|javascript'
    '<meta http-equiv="refresh" content="0;url=https://elsewhere.example/">|http-equiv|elsewhere'
    '<base href="https://elsewhere.example/">|<base|elsewhere'
    '<a href="https://pay.example/" onclick="steal()" onmouseover="steal()">Buy</a>|onclick|onmouseover|steal'
)
ms / network-deactivate "$ms_file" && ms /second/ activate "$ms_file"
verdict "the plugin activates on the second site alone"
ms_front=$(field front_option <"$ms_keys")
ms_back=$(field back_option <"$ms_keys")
status=$(fetch "$ms_menu_url" "$work/ms-admin.html" -b "$ms_jar")
[ "$status" = 200 ] && lacks "$work/ms-admin.html" "This page is missing"
verdict "the site's administrator gets the plugin's page with both pages in place" "status $status"
# region FILE N: what a page holds between the row's markers.
region() { sed -n "/BEGIN-$2-/,/-END-$2/p" "$1"; }
survived=()
for n in "${!hostile_html[@]}"; do
    IFS='|' read -r html forbidden <<<"${hostile_html[$n]}"
    pasted="BEGIN-$n- $html -END-$n"
    fetch "$ms_menu_url" "$work/ms-admin.html" -b "$ms_jar" >/dev/null
    site="$ms_site/second" post_form "$work/ms-admin.html" options.php "$ms_jar" \
        "$ms_front=$pasted" "$ms_back=$pasted" >/dev/null
    fetch "$(field sales_url <"$ms_keys")" "$work/ms-sales.html" >/dev/null
    fetch "$(field download_url <"$ms_keys")" "$work/ms-download.html" >/dev/null
    for where in "saved buy button:$(ms /second/ get-option "$ms_front")" \
        "saved download links:$(ms /second/ get-option "$ms_back")" \
        "sales page:$(region "$work/ms-sales.html" "$n")" "download page:$(region "$work/ms-download.html" "$n")"; do
        kept=${where#*:}
        [[ $kept == *"BEGIN-$n-"*"-END-$n"* ]] || { survived+=("row $n, ${where%%:*}: the text around it is gone"); continue; }
        grep -qiE -- "$forbidden" <<<"$kept" && survived+=("row $n, ${where%%:*}: $kept")
    done
done
expect_none "hostile HTML a site administrator pastes survives neither saving nor serving" "${survived[@]}"
ms_button='<script src="https://pay.example/button.js"></script><div data-pay="x" aria-label="Pay"></div>'
fetch "$ms_menu_url" "$work/ms-admin.html" -b "$ms_jar" >/dev/null
status=$(site="$ms_site/second" post_form "$work/ms-admin.html" options.php "$ms_jar" \
    "$ms_front=$ms_button" "$ms_back=")
[ "$(ms /second/ get-option "$ms_front")" = '<div data-pay="x" aria-label="Pay"></div>' ]
verdict "a site administrator's buy button loses its script and keeps its data- and aria- attributes" "status $status"
fetch "$ms_menu_url&settings-updated=true" "$work/ms-admin.html" -b "$ms_jar" >/dev/null
said=$(php "$here/html-tool.php" xpath "$work/ms-admin.html" '//div[contains(@class,"settings-error")]/p')
[[ $said == *"scripts were removed"* ]]
verdict "the plugin's page tells the site administrator the script was removed" "got: $said"
ms /second/ deactivate "$ms_file"

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

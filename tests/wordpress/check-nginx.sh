# The plugin on nginx with php-fpm, which reads none of the store's .htaccess rules: its
# self-test finds the product reachable and prints the nginx rules that close it; with exactly
# those rules in the server block, the check passes, nothing is served, and buyers still get
# their downloads. Sourced by run-wordpress-test.sh, last.
# Details are worked out before verdict and check: a command substitution in their arguments
# would set $? itself.

# shellcheck source=nginx.sh
. "$here/nginx.sh"
start_nginx_site

# A product file whose name nginx would misread unquoted, delivered beside the guide.
odd='files/price list {2024}; "final" $x.txt'
ng_product=$work/product-nginx
cp -r "$sample" "$ng_product"
printf 'the odd file of %s\n' "$password" >"$ng_product/$odd"
build "$ng_product" "$work/out-nginx" "$id_a" "$name_a" "$uri_a" "$description_a" "$version_a" \
    "$author_a" "$author_uri_a" --deliver "$product" --deliver "$odd" >"$work/build-nginx.out" 2>&1
ng_file=$(ng install-plugin "$(tail -n 1 "$work/build-nginx.out")" | tail -n 1)
[ -n "$ng_file" ] && ng activate "$ng_file" || abort "the plugin installs and activates on nginx"
pass "the plugin installs and activates on nginx"
ng keys "$ng_file" >"$work/ng-keys"
found=$(ng protection "$ng_file" | tr '\t\n' '= ')
check "activation's self-test finds the store reachable, served by nginx" \
    [ "$found" = "status=reachable server=nginx store=1 files= " ]

# The odd file cannot go private again (a newer version uploaded while the store was read-only),
# so it is served from the plugin's folder too.
ng_store=$(field store_dir <"$work/ng-keys")
ng_packed=$(packed_folder "$id_a" "$ng_dir/wp-content/plugins")
ng_template=$ng_dir/wp-content/plugins/$id_a/modules/$ng_packed
odd_url=$(php -r 'echo implode("/", array_map("rawurlencode", explode("/", $argv[1])));' "$odd")
chmod 444 "$ng_store/files/$odd" && chmod 555 "$(dirname "$ng_store/files/$odd")"
cp "$ng_product/$odd" "$ng_template/$odd"

# "URL|FILE" rows: the product's addresses nginx must refuse, and the bytes it must not give.
ng_store_url=$ng_site${ng_store#"$ng_dir"}
ng_template_url=$ng_site/wp-content/plugins/$id_a/modules/$ng_packed
ng_addresses=("$ng_store_url/files/$product|$sample/$product" "$ng_store_url/files/$odd_url|$ng_product/$odd"
    "$ng_template_url/$odd_url|$ng_product/$odd" "$ng_template_url/$product|$sample/$product")
# answers: "STATUS URL" for each row, STATUS "served" when the file's bytes came.
answers() {
    local row status
    for row in "${ng_addresses[@]}"; do
        status=$(fetch "${row%%|*}" "$work/ng-probe")
        [ "$status" = 200 ] && cmp -s "$work/ng-probe" "${row#*|}" && status=served
        echo "$status ${row%%|*}"
    done
}
got=$(answers | cut -d ' ' -f 1 | tr '\n' ' ')
check "without rules, nginx serves the store's files and the odd file's plugin address" \
    [ "$got" = "served served served 404 " ]

ng_jar=$work/ng-cookies
site=$ng_site login admin "$password" "$ng_jar" || abort "the administrator logs in on nginx"
ng_menu="$ng_site/wp-admin/admin.php?page=$(field menu_slug <"$work/ng-keys")"
ng_admin=$work/ng-admin.html
protection_section='//div[contains(concat(" ", @class, " "), " ostrel-protection ")]'
status=$(fetch "$ng_menu" "$ng_admin" -b "$ng_jar")
php "$here/html-tool.php" xpath "$ng_admin" "$protection_section" >"$work/ng-said"
php "$here/html-tool.php" xpath "$ng_admin" '//pre[@class="ostrel-nginx-rules"]' >"$ng_rules"
fetch "$ng_site/wp-admin/" "$work/ng-dashboard.html" -b "$ng_jar" >/dev/null
wrong=()
[ "$status" = 200 ] || wrong+=("the plugin's page answers $status")
for said in "reachable by anyone who guesses their address" "a file of the private folder" \
    "$odd at its address in the plugin's folder"; do
    contains "$work/ng-said" "$said" || wrong+=("the plugin's page does not say '$said'")
done
contains "$work/ng-dashboard.html" "ostrel-protection-notice" || wrong+=("the dashboard has no notice")
expect_none "on opening the plugin's page, it says what is reachable, and so does a notice on the dashboard" \
    "${wrong[@]}"
wrong=()
grep -qxF "location ^~ /wp-content/uploads/ostrel-$id_a/ { deny all; }" "$ng_rules" ||
    wrong+=("no location for the store's parent folder")
[ "$(grep -c '^location = ' "$ng_rules")" = 2 ] || wrong+=("not one location per product file")
lacks "$ng_rules" "$(basename "$ng_store")" || wrong+=("the store's secret name is printed")
expect_none "the page prints a location for the store's parent folder, not its secret name, and one per product file" \
    "${wrong[@]}"
check "nginx accepts the printed rules, the odd file's name quoted (nginx -t)" nginx_ctl -t -q
reload_nginx || fail "nginx reloads" "$(tail -n 5 "$ng_run/error.log")"

status=$(site=$ng_site post_form "$ng_admin" "admin-post.php@ostrel_${id_a}_check_protection" "$ng_jar")
fetch "$ng_menu&ostrel_checked=1" "$ng_admin" -b "$ng_jar" >/dev/null
fetch "$ng_site/wp-admin/" "$work/ng-dashboard.html" -b "$ng_jar" >/dev/null
found=$(ng protection "$ng_file" | tr '\t\n' '= ')
said=$(php "$here/html-tool.php" xpath "$ng_admin" "$protection_section")
wrong=()
[ "$status" = "302 $ng_menu&ostrel_checked=1" ] || wrong+=("\"Check again\" answers $status")
[ "$found" = "status=protected server=nginx store=0 files= " ] || wrong+=("stored: $found")
[[ $said == *"Your web server refuses requests for your product's files"* ]] || wrong+=("the page says: $said")
contains "$work/ng-dashboard.html" "ostrel-protection-notice" && wrong+=("the dashboard's notice stays")
expect_none "with the rules in place, \"Check again\" finds the product refused, and the notice goes" "${wrong[@]}"
mapfile -t open < <(answers | grep -vE '^(403|404) ')
expect_none "with the rules, the product's store and plugin addresses answer 403 or 404" "${open[@]}"
chmod 755 "$(dirname "$ng_store/files/$odd")" && chmod 644 "$ng_store/files/$odd"

# Buyers still get the guide through nginx: RANGE|STATUS|FIRST BYTE|LENGTH, whole and a slice.
fetch "$(field download_url <"$work/ng-keys")" "$work/ng-download.html" >/dev/null
link=$(signed_link_pattern="$ng_site/\\?$(field download_arg <"$work/ng-keys")=[0-9a-f]{16}\\.[0-9]+\\.[0-9a-f]{64}" \
    links_in "$work/ng-download.html" | head -n 1)
wrong=()
for row in "|200|0|$size" "100-1099|206|100|1000"; do
    IFS='|' read -r range want first length <<<"$row"
    status=$(fetch "$link" "$work/got" ${range:+-r "$range"})
    [ "$status" = "$want" ] && [ "$(stat -c %s "$work/got")" = "$length" ] &&
        cmp -s -i "$first:0" -n "$length" "$sample/$product" "$work/got" ||
        wrong+=("range '$range': status $status, $(stat -c %s "$work/got") bytes, link '$link'")
done
expect_none "on nginx, the download page's link gives the guide's exact bytes, and a Range request the exact slice (206)" \
    "${wrong[@]}"

ng_lines=$(grep -F "$ng_dir/wp-content/plugins/$id_a/" "$debug_log" 2>/dev/null)
expect_none "nothing of the plugin reached the WP_DEBUG log on nginx" ${ng_lines:+"$ng_lines"}

# The product's protection, probed as a visitor, a Contributor and the site owner would probe it:
# the private store, expiring links, revoking, and a download page nobody finds. Sourced by
# run-wordpress-test.sh after check-plugins.sh.

arg_a=$(field download_arg <"${keys[$id_a]}")
store_a=$(field store_dir <"${keys[$id_a]}")
store_url=$site${store_a#"$site_dir"}
signed_link_pattern="$site/\\?$arg_a=[0-9a-f]{16}\\.[0-9]+\\.[0-9a-f]{64}"

# links_in FILE: the signed download links a served page holds, one a line.
links_in() { grep -oE "$signed_link_pattern" "$1" | sort -u; }

### The private store

[[ "$store_a" == "$site_dir/wp-content/uploads/ostrel-"*/* ]] && [ -f "$store_a/files/$product" ] &&
    cmp -s "$store_a/files/$product" "$sample/$product" && [ ! -e "$packed_dir_a/$product" ]
verdict "activation moved the guide out of the plugin into a store in the uploads folder" "store: $store_a"
unguarded=()
for folder in "$(dirname "$store_a")" "$store_a"; do
    for guard in .htaccess web.config index.php; do
        [ -s "$folder/$guard" ] || unguarded+=("$folder/$guard")
    done
done
expect_none "the store and its parent hold deny rules for Apache and IIS and an index.php" "${unguarded[@]}"

# served_product WHO JAR URL...: prints every address that answers with the product's bytes or
# with a page that names the product file or shows the download page.
served_product() {
    local who=$1 jar=$2 url status
    shift 2
    for url in "$@"; do
        status=$(fetch "$url" "$work/probe" -b "$jar")
        if cmp -s "$work/probe" "$sample/$product" || contains "$work/probe" "balcony-herb-garden" ||
            contains "$work/probe" "Thank you for your order"; then
            echo "$who: $url (status $status)"
        fi
    done
}
plugin_url=$plugins_url/$id_a
product_addresses=("$plugin_url/modules/template/$product" "$plugin_url/modules/$packed_a/$product"
    "$plugin_url/modules/template/download.html"
    "$store_url/files/$product" "$store_url/pages/download.html")
listings=("$plugin_url/" "$plugin_url/modules/" "$plugin_url/modules/template/"
    "$plugin_url/modules/template/files/" "$site/wp-content/uploads/" "$(dirname "$store_url")/"
    "$store_url/" "$store_url/files/" "$store_url/pages/")
# Every role a site gives its users, logged in as the user named after it, with the visitor
# (no cookies) and the site owner: ROLE:COOKIE_JAR.
: >"$work/nobody"
everyone=(visitor:"$work/nobody")
for role in subscriber contributor author editor; do
    wp add-user "$role" "$password" "$role" && login "$role" "$password" "$work/$role-cookies" ||
        abort "a user with the role $role logs in"
    everyone+=("$role:$work/$role-cookies")
done
everyone+=(administrator:"$jar")
contributor_jar=$work/contributor-cookies
mapfile -t leaks < <(for who in "${everyone[@]}"; do
    served_product "${who%%:*}" "${who#*:}" "${product_addresses[@]}" "${listings[@]}"
done)
expect_none "no address under the plugin or the store serves the guide, the download page's copy or a listing naming them, for any role" \
    "${leaks[@]}"
status=$(fetch "$store_url/files/$product" /dev/null)
check "Apache refuses the store's files (403)" [ "$status" = 403 ]
fetch "$menu_url" "$admin" -b "$jar" >/dev/null
said=$(php "$here/html-tool.php" xpath "$admin" '//div[contains(@class,"ostrel-protection")]')
[[ $said == *"Your web server refuses requests for your product's files"* ]]
verdict "the plugin's self-test says Apache refuses the product's files" "got: $said"
status=$(fetch "$site/wp-content/uploads/" "$work/uploads-listing")
[ "$status" = 200 ] && lacks "$work/uploads-listing" "$(basename "$store_a")"
verdict "the uploads folder's listing names no store" "status $status"

### Expiring links

link=$(links_in "$work/download-$id_a.html" | head -n 1)
status=$(fetch "$link" "$work/got" -D "$work/got.headers")
[ "$status" = 200 ] && cmp -s "$work/got" "$sample/$product"
verdict "the download page's link gives the guide's exact bytes" "status $status for $link"
size=$(stat -c %s "$sample/$product")
missing_headers=()
for header in 'content-type: application/pdf' \
    'content-disposition: attachment; filename="balcony-herb-garden.pdf"' \
    "content-length: $size" 'x-content-type-options: nosniff' 'accept-ranges: bytes' \
    'cache-control: private, no-store'; do
    grep -qi "^$header" "$work/got.headers" || missing_headers+=("$header")
done
expect_none "the download has its type, an attachment name, its length, nosniff and no caching" \
    "${missing_headers[@]}"

# range_check WHAT RANGE STATUS CONTENT_RANGE FIRST_BYTE LENGTH
range_check() {
    local status got
    status=$(fetch "$link" "$work/slice" -D "$work/slice.headers" -r "$2")
    got="status $status, $(grep -i '^content-range' "$work/slice.headers")"
    [ "$status" = "$3" ] && grep -qi "^content-range: $4" "$work/slice.headers" &&
        { [ "$3" = 416 ] || { [ "$(stat -c %s "$work/slice")" = "$6" ] &&
            cmp -s -i "$5:0" -n "$6" "$sample/$product" "$work/slice"; }; }
    verdict "$1" "$got"
}
range_check "a Range request gives the exact slice (206)" 100-1099 206 "bytes 100-1099/$size" 100 1000
range_check "a suffix Range gives the file's end (206)" -500 206 "bytes $((size - 500))-$((size - 1))/$size" \
    $((size - 500)) 500
range_check "a Range beyond the end is refused (416)" "$size-" 416 "bytes \\*/$size" 0 0

# refused WHAT URL [HEADING]: the link gets the 403 page, which says why (not valid, unless a
# sound link has expired) and what to do, and nothing of the file.
refused() {
    local status
    status=$(fetch "$2" "$work/refused")
    local got
    got="status $status, $(grep -o '<h1>[^<]*' "$work/refused")"
    [ "$status" = 403 ] && contains "$work/refused" "open your download page again" &&
        contains "$work/refused" "${3:-This download link is no longer valid}" &&
        lacks "$work/refused" "balcony-herb-garden" && lacks "$work/refused" "$(basename "$store_a")"
    verdict "$1" "$got"
}
tampered=${link%?}$([ "${link: -1}" = 0 ] && echo 1 || echo 0)
refused "a tampered link is refused as not valid, with a page that says to open the download page again" "$tampered"
refused "a link to a file number that does not exist is refused" \
    "$(wp sign-link "$file_a" 7 $(($(date +%s) + 600)))"
refused "a correctly signed link whose time has passed is refused as expired" \
    "$(wp sign-link "$file_a" 0 $(($(date +%s) - 1)))" "This download link has expired"
status=$(fetch "$(wp sign-link "$file_a" 0 $(($(date +%s) + 600)))" "$work/got")
check "the same link with a time to come works" [ "$status" = 200 ]

expires_in() { # LINK: seconds until the link expires
    local expiry
    expiry=$(sed -E 's/.*=[0-9a-f]{16}\.([0-9]+)\..*/\1/' <<<"$1")
    echo $((expiry - $(date +%s)))
}
left=$(expires_in "$link")
check "links live 24 hours by default" [ "$left" -gt $((86400 - 120)) -a "$left" -le 86400 ]

fetch "$menu_url" "$admin" -b "$jar" >/dev/null
set_lifetime() { # MINUTES
    post_form "$admin" options.php "$jar" "$front_option=$(cat "$work/front-a")" \
        "$back_option=$(cat "$work/back-a")" "$lifetime_option=$1" >/dev/null
}
# MINUTES as typed|the fewest|the most seconds a fresh link has left: never under a minute, never
# over ten years (a seller's "never expires"), and the link works (HEAD, so nothing is counted).
wrong=()
for row in "0|1|60" "99999999999|$((5259600 * 60 - 120))|$((5259600 * 60))"; do
    IFS='|' read -r minutes fewest most <<<"$row"
    set_lifetime "$minutes"
    fetch "$download_url" "$work/short.html" >/dev/null
    fresh=$(links_in "$work/short.html" | head -n 1)
    left=$(expires_in "$fresh")
    status=$(fetch "$fresh" /dev/null -I)
    [ "$left" -ge "$fewest" ] && [ "$left" -le "$most" ] && [ "$status" = 200 ] ||
        wrong+=("$minutes minutes: $left seconds left, status $status")
done
fetch "$menu_url&settings-updated=true" "$admin" -b "$jar" >/dev/null
contains "$admin" "ten years at most" || wrong+=("no notice that the lifetime was cut to ten years")
expect_none "the admin page's lifetime applies from a minute to ten years, more is cut with a notice, and links work" \
    "${wrong[@]}"
set_lifetime 1440

downloads() {
    fetch "$menu_url" "$admin" -b "$jar" >/dev/null
    php "$here/html-tool.php" xpath "$admin" "//table[contains(@class,'ostrel-files')]//tr[td/code='$product']/td[3]"
}
check "the admin page shows how often the guide was downloaded (ranges from the middle and refusals not counted)" \
    [ "$(downloads)" = 2 ]
seq 20 | xargs -P 20 -I{} curl -s -o /dev/null --max-time 60 "$link"
check "20 downloads at once count 20" [ "$(downloads)" = 22 ]

### Revoking

status=$(post_form "$admin" "admin-post.php@ostrel_${id_a}_new_secret" "$jar")
check "\"Invalidate all download links\" returns to the menu" [ "$status" = "302 $menu_url&ostrel_done=links" ]
refused "after \"Invalidate all download links\", a link handed out before is refused" "$link"
fetch "$download_url" "$work/fresh.html" >/dev/null
link=$(links_in "$work/fresh.html" | head -n 1)
status=$(fetch "$link" "$work/got")
[ "$status" = 200 ] && cmp -s "$work/got" "$sample/$product"
verdict "the download page hands out fresh links that work" "status $status"
status=$(post_form "$admin" "admin-post.php@ostrel_${id_a}_new_secret" "$contributor_jar")
check "a Contributor cannot invalidate the links" [ "${status%% *}" != 302 ]

old_download_url=$download_url
status=$(post_form "$admin" "admin-post.php@ostrel_${id_a}_new_address" "$jar")
check "\"New download address\" returns to the menu" [ "$status" = "302 $menu_url&ostrel_done=address" ]
wp keys "$file_a" >"${keys[$id_a]}"
download_url=$(field download_url <"${keys[$id_a]}")
status=$(redirect "$old_download_url")
check "after \"New download address\" the old address answers 404, with no redirect" [ "$status" = "404 " ]
status=$(fetch "$download_url" "$work/moved.html")
check "the download page answers at its new address" [ "$status" = 200 -a "$download_url" != "$old_download_url" ]
fetch "$menu_url&ostrel_done=address" "$admin" -b "$jar" >/dev/null
contains "$admin" "$download_url" && contains "$admin" "payment provider"
verdict "the menu shows the new address and reminds the seller to give it to the payment provider"

### A download far larger than PHP's memory limit

big_url=$plugins_url/$id_b/modules/template/$big
printf '%s' "<a href=\"$big_url\">The big edition</a>" >"$work/back-b"
wp set-tags "$file_b" "$work/front-b" "$work/back-b"
fetch "$(field download_url <"${keys[$id_b]}")" "$work/download-big.html" >/dev/null
arg_b=$(field download_arg <"${keys[$id_b]}")
big_link=$(grep -oE "$site/\\?$arg_b=[0-9a-f]{16}\\.[0-9]+\\.[0-9a-f]{64}\">The big edition" \
    "$work/download-big.html" | head -n 1)
big_link=${big_link%%\"*}
status=$(fetch "$big_link" "$work/big" --max-time 600)
got="status $status, $(stat -c %s "$work/big" 2>/dev/null) of $(stat -c %s "$product_b/$big") bytes"
[ "$status" = 200 ] && cmp -s "$work/big" "$product_b/$big"
verdict "a 200 MB delivery file downloads whole with PHP's memory limit at $php_memory_limit" "$got"
rm -f "$work/big" "$product_b/$big"

### Nobody finds the download page without its address

secret=$(field download_name <"${keys[$id_a]}")
download_id=$(field download_id <"${keys[$id_a]}")
post_type_a=$(field post_type <"${keys[$id_a]}")
sales_id=$(field sales_id <"${keys[$id_a]}")
home_p=$(php -r 'echo rawurlencode($argv[1]);' "$site/?p=$download_id")
encoded_download=$(php -r 'echo rawurlencode($argv[1]);' "$download_url")
probes=("/?p=$download_id" "/?p=$download_id&post_type=$post_type_a" "/?page_id=$download_id"
    "/?p=$download_id&preview=true" "/?p=$download_id&post_type=$post_type_a&preview=true"
    "/?p=$download_id&feed=rss2" "/?p=$download_id&embed=true" "/?post_type=$post_type_a"
    "/?post_type=$post_type_a&feed=rss2" "/?s=Balcony" "/?s=download" "/feed/" "/comments/feed/"
    "/wp-sitemap.xml" "/wp-sitemap-posts-$post_type_a-1.xml" "/wp-json/wp/v2/search?search=Balcony"
    "/?rest_route=/wp/v2/search&search=Balcony" "/wp-json/wp/v2/search?search=download"
    "/wp-json/oembed/1.0/embed?url=$encoded_download" "/?rest_route=/oembed/1.0/embed&url=$encoded_download"
    "/wp-json/oembed/1.0/embed?url=$home_p" "/?rest_route=/oembed/1.0/embed&url=$home_p"
    "/?name=${secret:0:1}" "/${secret:0:2}/" "/?p=$sales_id" "${sales_url#"$site"}")
# names_download_page FILE...: whether a response names the download page by address or title.
names_download_page() {
    grep -qF -e "$secret" -e "Thank you for your order" -e "– download" -e '\u2013 download' \
        -e '&#8211; download' "$@"
}
# xmlrpc LOGIN METHOD [PARAMETER_XML]: the answer to an XML-RPC call made as LOGIN.
xmlrpc() {
    curl -sS --max-time 60 "$site/xmlrpc.php" -H 'Content-Type: text/xml' --data-binary \
        "<?xml version=\"1.0\"?><methodCall><methodName>$2</methodName><params><param><value><int>1</int></value></param><param><value><string>$1</string></value></param><param><value><string>$password</string></value></param>${3:-}</params></methodCall>"
}
xml_int() { echo "<param><value><int>$1</int></value></param>"; }
xml_struct() { # NAME VALUE
    echo "<param><value><struct><member><name>$1</name><value><string>$2</string></value></member></struct></value></param>"
}
# A Query Loop over the plugin's post type, with linked titles.
query_loop="<!-- wp:query {\"queryId\":1,\"query\":{\"perPage\":50,\"pages\":0,\"offset\":0,\"postType\":\"$post_type_a\",\"order\":\"desc\",\"orderBy\":\"date\",\"inherit\":false}} -->
<div class=\"wp-block-query\"><!-- wp:post-template --><!-- wp:post-title {\"isLink\":true} /--><!-- /wp:post-template --></div>
<!-- /wp:query -->"
printf '%s' "$query_loop" >"$work/query-loop.html"

# Routes by which a logged-in user might ask for the plugin's pages, or change them:
# LABEL|PAGE HOLDING THE NONCE|THE NONCE'S FIELD|POST DATA FOR THE DOWNLOAD PAGE|POST DATA THAT
# FINDS THE SALES PAGE (proves the route answered)|OR THE "STATUS BODY" BY WHICH THE ROUTE REFUSES
# THE SALES PAGE TO A USER WHO MAY NOT EDIT IT (a refused nonce answers "403 -1"). {nonce}, {id}
# and {sales} are filled in. The owner may see the download page's sample permalink and change
# it: those rows are others' only.
ajax_routes=(
    "the link dialog, listing|post-new.php|_ajax_linking_nonce|action=wp-link-ajax page=1 _ajax_linking_nonce={nonce}|action=wp-link-ajax page=1 _ajax_linking_nonce={nonce}"
    "the link dialog, searching 'download'|post-new.php|_ajax_linking_nonce|action=wp-link-ajax page=1 _ajax_linking_nonce={nonce} search=download|action=wp-link-ajax page=1 _ajax_linking_nonce={nonce} search=Balcony"
    "the link dialog, searching 'Thank'|post-new.php|_ajax_linking_nonce|action=wp-link-ajax page=1 _ajax_linking_nonce={nonce} search=Thank|"
    "the sample permalink|post-new.php|samplepermalinknonce|action=sample-permalink post_id={id} new_title=Free samplepermalinknonce={nonce}|action=sample-permalink post_id={sales} samplepermalinknonce={nonce}|200 -1"
    "the media library's post finder|upload.php?mode=list|_ajax_nonce|action=find_posts ps=download _ajax_nonce={nonce}|action=find_posts ps=Balcony _ajax_nonce={nonce}"
    "quick edit, renaming|edit.php|_inline_edit|action=inline-save post_ID={id} post_name=free-download post_title=Free post_status=publish post_type=$post_type_a screen=edit-post post_view=list _inline_edit={nonce}|"
    "quick edit, drafting|edit.php|_inline_edit|action=inline-save post_ID={id} post_title=Free post_status=draft post_type=$post_type_a screen=edit-post post_view=list _inline_edit={nonce}|"
)
xmlrpc_routes=(
    "wp.getPosts|$(xml_struct post_type "$post_type_a")"
    "wp.getPost|$(xml_int "$download_id")"
    "wp.editPost|$(xml_int "$download_id")$(xml_struct post_name free-download)"
    "wp.editPost|$(xml_int "$download_id")$(xml_struct post_status draft)"
    "wp.deletePost|$(xml_int "$download_id")"
)
# ajax_data TEMPLATE NONCE: curl arguments for a row's post data.
ajax_data() {
    local pair
    for pair in $1; do
        pair=${pair//\{nonce\}/$2}
        pair=${pair//\{id\}/$download_id}
        printf -- '-d\n%s\n' "${pair//\{sales\}/$sales_id}"
    done
}
# probe_routes ROLE COOKIE_JAR: adds to leaks each admin-ajax and XML-RPC route, and each Query
# Loop, that names the download page to a logged-in user who does not own the plugin (the owner
# only through the link dialog); on $site, with $download_id, $sales_id and $sales_url.
probe_routes() {
    local role=$1 cookies=$2 row label page field data control refusal nonce args status post
    for row in "${ajax_routes[@]}"; do
        IFS='|' read -r label page field data control refusal <<<"$row"
        [ "$role" = administrator ] && [[ $label != "the link dialog"* ]] && continue
        fetch "$site/wp-admin/$page" "$work/nonce-page.html" -b "$cookies" >/dev/null
        nonce=$(php "$here/html-tool.php" xpath "$work/nonce-page.html" "//input[@name='$field']/@value" | head -n 1)
        mapfile -t args < <(ajax_data "$data" "$nonce")
        status=$(fetch "$site/wp-admin/admin-ajax.php" "$work/probe" -b "$cookies" "${args[@]}")
        names_download_page "$work/probe" && leaks+=("$role: $label (status $status)")
        [ -n "$control" ] && [ -n "$nonce" ] || continue
        mapfile -t args < <(ajax_data "$control" "$nonce")
        status=$(fetch "$site/wp-admin/admin-ajax.php" "$work/probe" -b "$cookies" "${args[@]}")
        grep -qF -e "$sales_url" -e "${sales_url#"$site"}" -e "Balcony" "$work/probe" ||
            { [ -n "$refusal" ] && [ "$status $(cat "$work/probe")" = "$refusal" ]; } ||
            leaks+=("$role: $label answers, but did not find the sales page either: $(head -c 200 "$work/probe")")
    done
    [ "$role" = administrator ] && return # the owner may change the pages
    for row in "${xmlrpc_routes[@]}"; do
        xmlrpc "$role" "${row%%|*}" "${row#*|}" >"$work/probe"
        names_download_page "$work/probe" && leaks+=("$role: XML-RPC ${row%%|*}")
    done
    # A Query Loop on the plugin's post type: in a preview of the user's draft, and published
    # by those who may publish.
    status=draft
    [ "$role" = subscriber ] || [ "$role" = contributor ] || status=publish
    post=$(wp add-post "$role" "$status" "$work/query-loop.html")
    if [ "$status" = publish ]; then
        fetch "$site/?p=$post" "$work/probe" -L >/dev/null
    else
        fetch "$site/?p=$post&preview=true" "$work/probe" -b "$cookies" >/dev/null
    fi
    names_download_page "$work/probe" && leaks+=("$role: a Query Loop in a $status post")
    contains "$work/probe" "$sales_url" || [ "$role" = subscriber ] ||
        leaks+=("$role: the Query Loop in a $status post did not list the sales page either")
}
leaks=()
for who in "${everyone[@]}"; do
    role=${who%%:*} cookies=${who#*:}
    for probe in "${probes[@]}"; do
        status=$(fetch "$site$probe" "$work/probe" -D "$work/probe-headers" -b "$cookies")
        names_download_page "$work/probe" "$work/probe-headers" && leaks+=("$role: $probe (status $status)")
    done
    [ "$role" = visitor ] || probe_routes "$role" "$cookies"
    status=$(fetch "$sales_url" "$work/probe" -b "$cookies")
    [ "$status" = 200 ] && contains "$work/probe" "$(cat "$work/front-a")" ||
        leaks+=("$role: the sales page itself answers $status, without the buy button")
done
expect_none "oEmbed, the link dialog, sample permalinks, quick edit, XML-RPC, Query Loops, shortlinks, numbers, sitemaps, search, REST and feeds never name the download page, for any role, and the sales page works for all" \
    "${leaks[@]}"
wp keys "$file_a" >"$work/keys-after-roles"
status=$(fetch "$download_url" "$work/probe")
[ "$(field download_name <"$work/keys-after-roles")" = "$secret" ] && [ "$status" = 200 ] &&
    contains "$work/probe" "Thank you for your order" && [ "$(fetch "$site/$id_a/free-download/" /dev/null)" = 404 ]
verdict "no role but the owner renamed, drafted or trashed the download page: it answers at its address only" \
    "status $status"
fetch "$sales_url" /dev/null -D "$work/sales-headers" >/dev/null
lacks "$work/sales-headers" shortlink && lacks "$work/moved.html" shortlink
verdict "the plugin's pages send no shortlink"
check "the sales page's neighbours in its post type are not the download page" \
    [ "$(wp adjacent "$sales_id" | grep -cx "$download_id")" = 0 ]
fetch "$site/wp-sitemap-posts-$post_type_a-1.xml" "$work/sitemap" >/dev/null
check "the sitemap still lists the sales page" contains "$work/sitemap" "$sales_url"
status=$(redirect "$site/?p=$sales_id")
check "the sales page is still found by number" [ "$status" = "301 $sales_url" ]

# A product site made for this test, reference-site/: pages at several depths that refer to the
# site's files in every way browsers load or follow them. Built and installed, every page must be
# served at its WordPress address with all its files, links and the delivery working, and look
# exactly like the same site served as plain files. Sourced by run-wordpress-test.sh after
# check-delivery.sh; uninstalls its plugin at the end.

ref=$here/reference-site
id_r=lanterns
ref_product=files/lantern-patterns.pdf
asset_base=$plugins_url/$id_r/modules/template
# The site's pages, each with a text no other page holds.
site_pages=(
    "pages/index.html|Fold twelve paper lanterns"
    "pages/download.html|Your lantern patterns are ready"
    "about.html|Two people, one long table"
    "guides/care.htm|keep them dry and away from open flames"
)
# Links as written in a page, and the page they must reach; none: left as written.
site_links=(
    "pages/index.html|../about.html#frag|about.html"
    "pages/index.html|download.html|pages/index.html" # only buyers get the download page
    "pages/index.html|https://example.com/lanterns|"
    "pages/index.html|//example.com/help|"
    "pages/download.html|index.html|pages/index.html"
    "pages/download.html|../about.html|about.html"
    "about.html|guides/care.htm|guides/care.htm"
    "about.html|pages/index.html|pages/index.html"
    "guides/care.htm|index.html|pages/index.html" # through its relative <base href>
    "guides/care.htm|../about.html#frag|about.html"
)
# What a served page holds; @ stands for the plugin's address of the site's top.
site_holds=(
    'pages/index.html|"@/css/site.css?v=1.2"'
    'pages/index.html|@/img/checks.png?v=1.2#frag'
    'pages/index.html|lamp.src = "@/pages/pics/lamp.png";' # the script's exact path
    "pages/index.html|console.log('pics/lamp.png');"       # a path the script only logs
)
# What the builder reports: the page, and the text on the reported line.
site_report=(
    "pages/index.html|'pics/lamp.png'"
    'pages/index.html|"download.html"'
)

declare -A marker
for row in "${site_pages[@]}"; do
    marker[${row%%|*}]=${row#*|}
done

build_site() { # PAGES FRONT DOWNLOAD OUTPUT [OPTION]...
    "$builder" --pages "$1" --front "$2" --download "$3" --output "$4" --id "$id_r" \
        --name "Paper Lanterns" --uri https://example.com/lanterns --description "Folding patterns" \
        --version 1.0 --author "Lantern Press" --author-uri https://example.com --license GPL-2.0-or-later "${@:5}"
}

### Build, install, activate, set both tags

build_site "$ref" pages/index.html pages/download.html "$work/out-r" >"$work/build-r.out" 2>"$work/build-r.err"
zip_r=$(tail -n 1 "$work/build-r.out")
if ! [ -f "$zip_r" ] || ! file_r=$(wp install-plugin "$zip_r" | tail -n 1) || ! wp activate "$file_r" ||
    ! wp keys "$file_r" >"$work/keys-r"; then
    fail "the reference site builds, installs and activates" "$(cat "$work/build-r.err")"
    return
fi
pass "the reference site builds, installs and activates"
printf '%s' '<a href="https://pay.example.com/lanterns">Buy the patterns – €7</a>' >"$work/front-r"
printf '%s' '<p><strong>Thank you for buying the patterns.</strong></p>' >"$work/back-r"
wp set-tags "$file_r" "$work/front-r" "$work/back-r"

# The same site as plain files, with the same HTML in place of the tags, served from its own
# top so that root-relative addresses work.
static_root=$work/static-site
cp -r "$ref" "$static_root"
php -r 'foreach (array_slice($argv, 3) as $page) {
        file_put_contents($page, str_replace(array("#FRONT#", "#BACK#"),
            array(file_get_contents($argv[1]), file_get_contents($argv[2])), file_get_contents($page)));
    }' "$work/front-r" "$work/back-r" "$static_root/pages/index.html" "$static_root/pages/download.html"
static_port=$(free_port)
static_site=http://127.0.0.1:$static_port
write_apache_config "$work/apache-static" "$static_root" "$static_port"
start_web_server "$work/apache-static" "$static_site"
verdict "the reference site is served as plain files on $static_site"

address_of() { # PAGE: where WordPress serves a page of the site
    local kind
    for kind in sales download; do
        [ "$1" = "$(field "${kind}_file" <"$work/keys-r")" ] && { field "${kind}_url" <"$work/keys-r"; return; }
    done
    field "page:$1" <"$work/keys-r"
}

### Every page at its WordPress address, whole, with every file it refers to

for row in "${site_pages[@]}"; do
    page=${row%%|*}
    served=$work/served-${page//\//-}
    url=$(address_of "$page")
    : >"$served"
    status=$(fetch "$url" "$served")
    if [ -n "$url" ] && [ "$status" = 200 ] && contains "$served" "${marker[$page]}" && lacks "$served" /themes/; then
        pass "$page is served whole, without the theme, at its WordPress address"
    else
        fail "$page is served whole, without the theme, at its WordPress address" "status $status at '$url'"
        continue
    fi
    php "$here/html-tool.php" refs "$served" >"$served.refs"
    # Every address a browser would resolve against the WordPress address is one it gets wrong.
    left=$(grep -vE '^(https?:|//|#|data:|mailto:)' "$served.refs")
    expect_none "$page refers to no file by a relative or root-relative address" ${left:+"$left"}
    mapfile -t assets < <(grep -F "$plugins_url/$id_r/" "$served.refs" | sort -u)
    bad=()
    [ ${#assets[@]} -gt 0 ] || bad+=("no file addresses in the page")
    for asset in "${assets[@]}"; do
        file=$(php -r 'echo rawurldecode(strtok($argv[1], "?#"));' "${asset#"$asset_base/"}")
        status=$(fetch "$asset" "$work/asset")
        [ "$status" = 200 ] && cmp -s "$work/asset" "$ref/$file" || bad+=("$asset: status $status, not the bytes of $file")
    done
    expect_none "all ${#assets[@]} file addresses of $page answer 200 with the files' exact bytes" "${bad[@]}"
    status=$(fetch "$asset_base/$page" "$work/copy")
    [ "$status" != 200 ] || lacks "$work/copy" "${marker[$page]}"
    verdict "the plugin holds no copy of $page" "status $status"
done

missing=()
for row in "${site_holds[@]}"; do
    page=${row%%|*}
    text=${row#*|}
    contains "$work/served-${page//\//-}" "${text//@/$asset_base}" || missing+=("$page: ${text//@/$asset_base}")
done
expect_none "queries, fragments and the script's exact path are converted, the path it only logs is not" "${missing[@]}"

### Links between pages, in order as the static copy has them

wrong=()
for row in "${site_links[@]}"; do
    IFS='|' read -r page written target <<<"$row"
    mapfile -t written_links < <(php "$here/html-tool.php" xpath "$static_root/$page" '//a/@href')
    mapfile -t served_links < <(php "$here/html-tool.php" xpath "$work/served-${page//\//-}" '//a/@href')
    expected=$written
    if [ -n "$target" ]; then
        expected=$(address_of "$target")
        [[ $written == *#* ]] && expected+="#${written#*#}"
    fi
    got="(not found)"
    for i in "${!written_links[@]}"; do
        [ "${written_links[$i]}" = "$written" ] && { got=${served_links[$i]-}; break; }
    done
    if [ "$got" != "$expected" ]; then
        wrong+=("$page: \"$written\" became \"$got\", not \"$expected\"")
    elif [ -n "$target" ]; then
        status=$(fetch "$got" "$work/linked")
        [ "$status" = 200 ] && contains "$work/linked" "${marker[$target]}" ||
            wrong+=("$page: \"$written\" ($got) answers $status without the text of $target")
    fi
done
expect_none "links reach the linked page's address, fragment kept, the download page's link the sales page, others untouched" \
    "${wrong[@]}"

### The product, found through ../ from the download page in its folder

check "ostrel-build detects ../$ref_product of the download page as the delivery file" \
    grep -qxF "  $ref_product" "$work/build-r.err"
status=$(fetch "$asset_base/$ref_product" "$work/probe")
[ "$status" != 200 ] || ! cmp -s "$work/probe" "$ref/$ref_product"
verdict "the plugin's address of the product does not serve it" "status $status"
link=$(grep -oE "$site/\\?$(field download_arg <"$work/keys-r")=[0-9a-f]{16}\\.[0-9]+\\.[0-9a-f]{64}" \
    "$work/served-pages-download.html" | head -n 1)
status=$(fetch "$link" "$work/got")
[ -n "$link" ] && [ "$status" = 200 ] && cmp -s "$work/got" "$ref/$ref_product"
verdict "the download page's signed link gives the product's exact bytes" "status $status for '$link'"

### The builder's report

unreported=()
for row in "${site_report[@]}"; do
    page=${row%%|*}
    text=${row#*|}
    line=$(grep -nF -- "$text" "$ref/$page" | head -n 1 | cut -d: -f1)
    grep -F "  $page:$line: " "$work/build-r.err" | grep -qF -- "${text:1:-1}" ||
        unreported+=("$page:$line: $text")
done
reported=$(grep -cE '^  [^ ]+:[0-9]+: ' "$work/build-r.err")
[ "$reported" = "${#site_report[@]}" ] || unreported+=("$reported lines reported:" "$(cat "$work/build-r.err")")
expect_none "ostrel-build reports the script's path it leaves and the link to the download page, and nothing else" \
    "${unreported[@]}"
strict=()
for row in "$ref|pages/index.html|pages/download.html|fails" "$sample|index.html|download.html|passes"; do
    IFS='|' read -r pages front download expected <<<"$row"
    build_site "$pages" "$front" "$download" "$work/out-strict" --strict --yes >/dev/null 2>"$work/strict.err"
    status=$?
    [ "$([ "$status" = 0 ] && echo passes || echo fails)" = "$expected" ] ||
        strict+=("$pages: exit status $status" "$(cat "$work/strict.err")")
done
expect_none "--strict fails the build of the reference site, and not the sample's, whose report is empty" "${strict[@]}"

### Side by side with the plain files in a browser

# shot URL PNG LOG: Chromium's picture of URL, scripts run; prints the requests LOG got meanwhile.
shot() {
    local profile size
    profile=$(mktemp -d "$work/chromium.XXXXXX")
    size=$(stat -c %s "$3")
    timeout 60 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
        --disable-background-networking --disable-component-update --disable-sync --hide-scrollbars \
        --user-data-dir="$profile" --window-size=1280,2000 --virtual-time-budget=5000 \
        --screenshot="$2" "$1" >/dev/null 2>&1
    tail -c +$((size + 1)) "$3"
    rm -rf "$profile"
}
failed_requests() { awk '$(NF - 1) >= 400 && !/ \/favicon\.ico /'; }
# differing A.png B.png: how many pixels differ, and between which rows.
differing() {
    php -r '$a = @imagecreatefrompng($argv[1]); $b = @imagecreatefrompng($argv[2]);
        if (!$a || !$b || imagesx($a) != imagesx($b) || imagesy($a) != imagesy($b)) exit("all of them");
        for ($n = 0, $y = 0; $y < imagesy($a); $y++) for ($x = 0; $x < imagesx($a); $x++)
            if (imagecolorat($a, $x, $y) != imagecolorat($b, $x, $y)) { $n++; $rows[$y] = 1; }
        echo $n ? "$n, rows " . min(array_keys($rows)) . " to " . max(array_keys($rows)) : 0;' "$1" "$2"
}
for row in "${site_pages[@]}"; do
    page=${row%%|*}
    name=$work/shot-${page//\//-}
    mapfile -t broken < <(shot "$static_site/$page" "$name-static.png" "$work/apache-static/access.log" |
        failed_requests | sed 's/^/as plain files: /'
        shot "$(address_of "$page")" "$name-wp.png" "$work/apache/access.log" | failed_requests |
        sed 's/^/from WordPress: /')
    expect_none "no request of $page fails, as plain files or from WordPress (favicon aside)" "${broken[@]}"
    # The same browser draws the same page the same way, but for a few pixels of a glyph's edge
    # when the machine is busy; a picture or style sheet that goes missing changes thousands.
    diff_pixels=$(differing "$name-static.png" "$name-wp.png")
    [[ "$diff_pixels" =~ ^[0-9]+ ]] && [ "${BASH_REMATCH[0]}" -lt 100 ]
    verdict "$page from WordPress looks like the plain file: fewer than 100 of 1280x2000 pixels may differ" \
        "differing pixels: $diff_pixels"
done

### A newer version over the active plugin, one page fewer and one more

# No activation runs then: the next request gives the new page its address, the others keep
# theirs, which may have been handed out, and the dropped one's answers 404.
update=$work/reference-update
cp -r "$ref" "$update"
rm "$update/about.html"
printf '%s\n' '<!DOCTYPE html><title>News</title><p>The lantern of the month</p><div>#FRONT#</div>' >"$update/news.html"
# The installer runs in a PHP of its own: Apache's opcache sees the new files once it looks again,
# within two seconds, as after any copy by FTP.
build_site "$update" pages/index.html pages/download.html "$work/out-r2" >"$work/build-r2.out" 2>/dev/null &&
    wp install-plugin "$(tail -n 1 "$work/build-r2.out")" overwrite >/dev/null && sleep 3 &&
    fetch "$site/" /dev/null >/dev/null && wp keys "$file_r" >"$work/keys-r2"
verdict "a newer version of the reference site goes over the active plugin"
care=$(field page:guides/care.htm <"$work/keys-r")
wrong=()
[ "$(field page:guides/care.htm <"$work/keys-r2")" = "$care" ] || wrong+=("guides/care.htm has a new address")
! grep -q '^page:about.html' "$work/keys-r2" || wrong+=("about.html is still listed")
# ADDRESS|STATUS|TEXT the page holds
for row in "$care|200|${marker[guides/care.htm]}" "$(field page:news.html <"$work/keys-r2")|200|$(cat "$work/front-r")" \
    "$(field page:about.html <"$work/keys-r")|404|Page not found"; do
    IFS='|' read -r url expected text <<<"$row"
    status=$(fetch "$url" "$work/updated")
    [ -n "$url" ] && [ "$status" = "$expected" ] && contains "$work/updated" "$text" ||
        wrong+=("'$url': status $status, expected $expected with '$text'")
done
expect_none "the new page answers at once, #FRONT# on it too; the kept page keeps its address, the dropped one's answers 404" \
    "${wrong[@]}"
fetch "$site/wp-admin/admin.php?page=$(field menu_slug <"$work/keys-r2")" "$work/admin-r.html" -b "$jar" >/dev/null
[ "$(php "$here/html-tool.php" xpath "$work/admin-r.html" \
    '//table[contains(@class,"ostrel-pages")]//td/code|//a[@class="ostrel-page-address"]/@href')" = \
    "$(sed -n 's/^page://p' "$work/keys-r2" | tr '\t' '\n')" ]
verdict "the plugin's page lists the other pages and their addresses"

### Nothing of the plugin in the debug log; gone again for the checks after this one

logged=$(grep -F "${plugins_path#/}/$id_r/" "$debug_log" 2>/dev/null)
expect_none "nothing of the reference site's plugin reached the WP_DEBUG log" ${logged:+"$logged"}
check "the reference site's plugin uninstalls" wp uninstall "$file_r"
left=$(wp leftovers "$id_r" "$(field post_type <"$work/keys-r")")
[ -z "$left" ]
verdict "no option or post of the reference site's plugin is left, its other pages' included" "$left"

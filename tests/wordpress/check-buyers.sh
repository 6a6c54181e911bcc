# Lost links, the seller's controls and privacy, for verified buyers: the form on the page for
# visitors without a grant that mails a buyer a new personal link, the menu's list of grants with
# Revoke, Reset downloads and Re-send, and WordPress's export and erasure of a buyer's data.
# Sourced by run-wordpress-test.sh right after check-grants.sh, whose Stripe signing and SMTP
# catcher it uses; the plugin serves anyone again at the end.

files_table=wp_$(field grant_files_table <"${keys[$id_a]}")
save_menu "$access_option=buyers" >/dev/null
# The mails caught for ADDRESS (in any case), newest first.
mail_files() { grep -il "^To: $1" "$maildir"/new/* 2>/dev/null | xargs -r ls -t; }
mails_to() { mail_files "$1" | grep -c .; }
# newest_link ADDRESS: the personal link in the newest mail to ADDRESS.
newest_link() {
    local file
    file=$(mail_files "$1" | head -n 1)
    [ -n "$file" ] && /usr/bin/python3 -c 'import email, email.policy, sys
print(email.message_from_binary_file(open(sys.argv[1], "rb"), policy=email.policy.default).get_content())' "$file" |
        grep -oE "$personal_link_pattern" | head -n 1
}
# grant_of TAIL: the id of the grant whose order id ends with TAIL.
grant_of() { sql -N wordpress -e "SELECT id FROM $grants_table WHERE order_tail = '$1'"; }

run_notifications "three more buyers' payments make their grants" \
    "the buyer who loses the link|evt_l1|checkout.session.completed|$(session cs_test_lost4101 paid pi_lost4101 buyer-lost@example.com)|good|200|5 2" \
    "the buyer the seller looks after|evt_m1|checkout.session.completed|$(session cs_test_menu4102 paid pi_menu4102 Buyer-Menu@Example.com)|good|200|6 2" \
    "the buyer who asks for their data|evt_p1|checkout.session.completed|$(session cs_test_priv4103 paid pi_priv4103 buyer-priv@example.com)|good|200|7 2"
lost_id=$(grant_of 4101)
menu_id=$(grant_of 4102)
priv_id=$(grant_of 4103)
bought_link=$(newest_link buyer-lost@example.com)
check "each grant keeps its order id's last four characters" [ -n "$lost_id" -a -n "$menu_id" -a -n "$priv_id" ]

### A lost link

status=$(fetch "$download_url" "$work/gate.html")
resend_field=$(php "$here/html-tool.php" xpath "$work/gate.html" "//form[@method='post'][@action='$download_url']//input[@type='email']/@name")
[ "$status" = 403 ] && [ -n "$resend_field" ] && contains "$work/gate.html" "Send me a new link"
verdict "the page for visitors without a grant has a form asking for the address paid with, posting to the download page" \
    "status $status, field '$resend_field'"
# resend ADDRESS FILE: posts the form with ADDRESS; prints the status.
resend() { fetch "$download_url" "$2" --data-urlencode "$resend_field=$1"; }
# Every answer must be the first one's bytes: whether the address bought, and whether a limit
# held the mail back, shows only in the buyer's mailbox. ROW: LABEL|ADDRESS|MAILS TO IT AFTERWARDS
# (its purchase's included)
wrong=()
first=
for row in "a buyer's address|buyer-lost@example.com|2" \
    "an address that bought nothing|nobody@example.com|0" \
    "the buyer's address in capitals, with spaces| BUYER-LOST@EXAMPLE.COM |3" \
    "the buyer's address a third time in the hour|buyer-lost@example.com|4" \
    "the buyer's address a fourth time in the hour|buyer-lost@example.com|4" \
    "a sixth request from one visitor|nobody-6@example.com|0" \
    "a seventh|nobody-7@example.com|0" \
    "an eighth|nobody-8@example.com|0" \
    "a ninth|nobody-9@example.com|0" \
    "a tenth|nobody-10@example.com|0" \
    "an eleventh from that visitor, for another buyer|buyer-priv@example.com|1"; do
    IFS='|' read -r label address want <<<"$row"
    status=$(resend "$address" "$work/resend.html")
    [ -n "$first" ] || { first=$work/resend-first.html; cp "$work/resend.html" "$first"; }
    mails=$(mails_to "$(echo "$address" | tr -d ' ')")
    [ "$status" = 200 ] && cmp -s "$work/resend.html" "$first" && [ "$mails" = "$want" ] ||
        wrong+=("$label: status $status, $mails mails (want $want), $(cmp "$work/resend.html" "$first" 2>&1)")
done
contains "$first" "If this address bought the product, a new personal link is on its way" ||
    wrong+=("the answer says: $(grep -o '<h1>.*' "$first" | head -c 300)")
expect_none "the form gives every address the same page, mails only a buyer, three times an hour per address and ten per visitor" \
    "${wrong[@]}"
renewed_link=$(newest_link buyer-lost@example.com)
status_new=$(fetch "$renewed_link" "$work/renewed.html")
status_old=$(fetch "$bought_link" "$work/old-link.html")
[ "$status_new" = 200 ] && grep -qE "$bound_link_pattern" "$work/renewed.html" && [ "$status_old" = 403 ] &&
    contains "$work/old-link.html" "Send me a new link" && [ "$renewed_link" != "$bought_link" ]
verdict "the new link opens the download page, and the link from the purchase no longer does" \
    "new link $status_new, old link $status_old"
status=$(resend "not an address" "$work/resend-bad.html")
[ "$status" = 400 ] && contains "$work/resend-bad.html" "That is not an e-mail address" &&
    contains "$work/resend-bad.html" "Send me a new link"
verdict "an entry that is no e-mail address gets the form again, saying so" "status $status"
sql -N wordpress -e "SELECT option_name, option_value FROM wp_options WHERE option_name LIKE '%resend%'" >"$work/limits"
limits=$(head -n 4 "$work/limits")
[ "$(grep -c "_transient_ostrel_${id_a}_resend_" "$work/limits")" -ge 2 ] &&
    ! grep -qiE 'buyer-lost|nobody|127\.0\.0\.1' "$work/limits"
verdict "the limits are counted under keyed hashes, never the address or the IP" "$limits"

### The seller's list of grants

# Twenty older purchases from another provider, a day apart, make a second page.
older=$(seq 20 | awk '{ printf "%s(MD5(\047old%d\047), \047other\047, SHA2(\047order%d\047, 256), \047s%03d\047, SHA2(\047token%d\047, 256), UNIX_TIMESTAMP() - %d * 86400, 0, 0)", (NR > 1 ? ", " : ""), $1, $1, $1, $1, $1 }')
sql wordpress -e "INSERT INTO $grants_table (id, provider, order_hash, order_tail, token_hash, created, expires, download_limit) VALUES $older"
fetch "$menu_url" "$admin" -b "$jar" >/dev/null
fetch "$menu_url&paged=2" "$work/menu-2.html" -b "$jar" >/dev/null
rows_1=$(php "$here/html-tool.php" xpath "$admin" '//tr[@class="ostrel-grant"]/@id' | grep -c .)
orders_2=$(php "$here/html-tool.php" xpath "$work/menu-2.html" '//td[@class="ostrel-grant-order"]' | tr '\n' ' ')
[ "$rows_1" = 20 ] && [ "$orders_2" = "…s014 …s015 …s016 …s017 …s018 …s019 …s020 " ] &&
    contains "$admin" "paged=2"
verdict "the list shows twenty purchases a page, newest first, and links the next page" \
    "$rows_1 rows on the first page; the second shows $orders_2"
sql wordpress -e "DELETE FROM $grants_table WHERE provider = 'other'"

# grant_row ID: the grant's cells in the menu as it was last fetched, "|" between them.
grant_row() {
    php "$here/html-tool.php" xpath "$admin" "//tr[@id='ostrel-grant-$1']/td[position() < 4]|//tr[@id='ostrel-grant-$1']//*[@class='ostrel-grant-downloads' or @class='ostrel-grant-status']" |
        tr '\n' '|'
}
menu_link=$(newest_link buyer-menu@example.com)
fetch "$menu_link" "$work/menu-buyer.html" >/dev/null
menu_bound=$(grep -oE "$bound_link_pattern" "$work/menu-buyer.html" | head -n 1)
fetch "$menu_bound" /dev/null >/dev/null
fetch "$menu_bound" /dev/null >/dev/null
fetch "$menu_url" "$admin" -b "$jar" >/dev/null
row=$(grant_row "$menu_id")
[[ $row == "Stripe|"*"|…4102|2 of 2|Used up|" ]] && contains "$admin" "type the address they paid with" &&
    lacks "$admin" "uyer-menu@" && lacks "$admin" cs_test_menu
verdict "a purchase's row shows the provider, the date, the order id's end, the downloads used and the status, and no address" \
    "row: $row"

# Each button, as the seller uses it: LABEL|BUTTON|ADDRESS TYPED|NOTICE|MAILS TO THE BUYER
# AFTERWARDS|STATUS IN THE LIST|WHAT THE BUYER'S LINKS GIVE
wrong=()
for row in "Reset downloads|reset||grant_reset|1|Active|the file" \
    "Re-send to an address that is not the buyer's|resend|someone-else@example.com|grant_mismatch|1|Active|the page" \
    "Re-send to the buyer's address|resend|buyer-menu@example.com|grant_sent|2|Active|a new link" \
    "Revoke|revoke||grant_revoked|2|Revoked|the end"; do
    IFS='|' read -r label button typed notice want listed gives <<<"$row"
    status=$(post_form "$admin" "admin-post.php@ostrel_${id_a}_grant_$button@grant=$menu_id" "$jar" "email=$typed")
    fetch "$menu_url&ostrel_done=$notice" "$admin" -b "$jar" >/dev/null
    said=$(php "$here/html-tool.php" xpath "$admin" '//div[contains(@class,"ostrel-grant-notice")]')
    cells=$(grant_row "$menu_id")
    mails=$(mails_to buyer-menu@example.com)
    problem=
    case $gives in
        "the file")
            got=$(fetch "$menu_bound" "$work/got")
            [ "$got" = 200 ] && cmp -s "$work/got" "$sample/$product" || problem="the file link gives $got" ;;
        "the page")
            got=$(fetch "$menu_link" /dev/null)
            [ "$got" = 200 ] || problem="the link gives $got" ;;
        "a new link")
            new=$(newest_link buyer-menu@example.com)
            got="$(fetch "$new" /dev/null) $(fetch "$menu_link" /dev/null)"
            [ "$got" = "200 403" ] && [ "$new" != "$menu_link" ] || problem="the new and old links give $got"
            menu_link=$new ;;
        *)
            got=$(fetch "$menu_link" "$work/ended")
            [ "$got" = 403 ] && contains "$work/ended" "has ended" || problem="the link gives $got" ;;
    esac
    [ "$status" = "302 $menu_url&ostrel_done=$notice#ostrel-buyers" ] && [ -n "$said" ] && [ "$mails" = "$want" ] &&
        [[ $cells == *"|$listed|" ]] && [ -z "$problem" ] ||
        wrong+=("$label: $status, notice '$said', $mails mails (want $want), row $cells $problem")
done
[ "$(mails_to someone-else@example.com)" = 0 ] || wrong+=("a mail went to the address that is not the buyer's")
expect_none "Reset gives the allowance back, Re-send mails a new link only to the address the purchase was made with, Revoke ends access; each says so in the menu" \
    "${wrong[@]}"

mails_before=$(mails_to buyer-lost@example.com)
used_before=$(sql -N wordpress -e "SELECT COALESCE(SUM(used), 0) FROM $files_table WHERE grant_id = '$lost_id'")
wrong=()
for role in contributor editor; do
    for button in revoke reset resend; do
        status=$(post_form "$admin" "admin-post.php@ostrel_${id_a}_grant_$button@grant=$lost_id" "$work/$role-cookies" \
            email=buyer-lost@example.com)
        [ "$status" = "403 " ] || wrong+=("a $role's $button: $status")
    done
done
[ "$(sql -N wordpress -e "SELECT revoked FROM $grants_table WHERE id = '$lost_id'")" = 0 ] &&
    [ "$(mails_to buyer-lost@example.com)" = "$mails_before" ] &&
    [ "$(sql -N wordpress -e "SELECT COALESCE(SUM(used), 0) FROM $files_table WHERE grant_id = '$lost_id'")" = "$used_before" ] ||
    wrong+=("the grant changed")
expect_none "a Contributor or an Editor posting the seller's own buttons gets 403, and the grant stays as it was" "${wrong[@]}"

### The buyer's personal data

priv_link=$(newest_link buyer-priv@example.com)
fetch "$priv_link" "$work/priv.html" >/dev/null
fetch "$(grep -oE "$bound_link_pattern" "$work/priv.html" | head -n 1)" /dev/null >/dev/null
# exported EMAIL: the export of the plugin's data for EMAIL, one "name=value" line for each field.
exported() {
    wp privacy export "ostrel-$id_a" "$1" | php -r '$a = json_decode(stream_get_contents(STDIN), true);
        foreach ($a["data"] as $item) { foreach ($item["data"] as $f) { echo $f["name"], "=", $f["value"], "\n"; } echo "--\n"; }
        echo $a["done"] ? "done\n" : "more\n";'
}
exported BUYER-PRIV@example.com >"$work/export"
export_said=$(tr '\n' ' ' <"$work/export")
grep -qxF "Payment provider=Stripe" "$work/export" && grep -qxF "Order=…4103" "$work/export" &&
    grep -qxF "Downloads used=1 of 2" "$work/export" && grep -qxF "Status=Active" "$work/export" &&
    grep -q "^Purchased=." "$work/export" && grep -q "^Access until=." "$work/export" &&
    [ "$(grep -c '^--$' "$work/export")" = 1 ] && [ "$(tail -n 1 "$work/export")" = done ]
verdict "the exporter finds the buyer's purchase by the address, in any case, with its provider, dates, downloads and status" \
    "$export_said"
counts_before=$(grant_counts)
erased=$(wp privacy erase "ostrel-$id_a" buyer-priv@example.com)
exported buyer-priv@example.com >"$work/export-after"
files_left=$(sql -N wordpress -e "SELECT COUNT(*) FROM $files_table WHERE grant_id = '$priv_id'")
[[ $erased == *'"items_removed":true'* ]] && [ -z "$(grant_of 4103)" ] && [ "$files_left" = 0 ] &&
    [ "$(cat "$work/export-after")" = done ] && [ "$(grant_counts)" = "$((${counts_before% *} - 1)) ${counts_before#* }" ] &&
    [ "$(fetch "$priv_link" /dev/null)" = 403 ]
verdict "the eraser deletes that buyer's grant and its download counts, and nothing else" \
    "eraser said $erased; grants $counts_before before"
fetch "$site/wp-admin/privacy-policy-guide.php" "$work/policy-guide.html" -b "$jar" >/dev/null
contains "$work/policy-guide.html" "No name, IP address or payment details are kept" &&
    contains "$work/policy-guide.html" "kept only as keyed hashes"
verdict "the privacy policy guide has the plugin's paragraph on what it keeps"

### Back to anyone with the address

save_menu "$access_option=anyone" >/dev/null
kill "$smtp_pid" 2>/dev/null
wait "$smtp_pid" 2>/dev/null
rm -f "$site_dir/wp-content/mu-plugins/ostrel-test-mail.php"

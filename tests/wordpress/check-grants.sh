# Only verified buyers get the product: the seller sets Stripe up as the README says, Stripe's
# notifications (signed here as Stripe signs them, the signer checked against python3-stripe)
# make and revoke grants, the buyer's mail is caught by a real SMTP server and its link followed,
# and the download page's address alone gives nothing. Sourced by run-wordpress-test.sh after
# check-delivery.sh; the plugin serves anyone again at the end.

grant_arg=$(field grant_arg <"${keys[$id_a]}")
grants_table=wp_$(field grants_table <"${keys[$id_a]}")
access_option=$(field access_option <"${keys[$id_a]}")
limit_option=$(field grant_limit_option <"${keys[$id_a]}")
secret_option=$(field stripe_secret_option <"${keys[$id_a]}")
stripe_secret=whsec_$(php -r 'echo bin2hex(random_bytes(16));')
bound_link_pattern="$site/\\?$arg_a=[0-9a-f]{16}\\.[0-9]+\\.[0-9a-f]{32}\\.[0-9a-f]{64}"
personal_link_pattern="$download_url\\?$grant_arg=[0-9a-f]{64}"

# A real SMTP server, and a must-use plugin sending WordPress's mail to it.
smtp_port=$(free_port)
maildir=$work/mail
/usr/bin/python3 -m aiosmtpd -n -l "127.0.0.1:$smtp_port" -c aiosmtpd.handlers.Mailbox "$maildir" \
    >"$work/smtp.log" 2>&1 &
started+=($!)
smtp_pid=$!
mkdir -p "$site_dir/wp-content/mu-plugins"
cat >"$site_dir/wp-content/mu-plugins/ostrel-test-mail.php" <<PHP
<?php
add_filter( 'wp_mail_from', static function () { return 'shop@example.com'; } );
add_action(
	'phpmailer_init',
	static function ( \$mailer ) {
		\$mailer->isSMTP();
		\$mailer->Host        = '127.0.0.1';
		\$mailer->Port        = $smtp_port;
		\$mailer->SMTPAuth    = false;
		\$mailer->SMTPAutoTLS = false;
	}
);
PHP
for _ in $(seq 50); do
    [ -d "$maildir/new" ] && break
    sleep 0.1
done

# grant_counts: "GRANTS REVOKED" as the plugin's table holds them.
grant_counts() { sql -N wordpress -e "SELECT COUNT(*), COALESCE(SUM(revoked), 0) FROM $grants_table" | tr '\t' ' '; }
# mail_to ADDRESS: the text of the newest mail caught for ADDRESS, waiting up to 10 s for one.
mail_to() {
    local file
    for _ in $(seq 50); do
        file=$(grep -l "^To: $1" "$maildir"/new/* 2>/dev/null | tail -n 1)
        [ -n "$file" ] && break
        sleep 0.2
    done
    [ -n "$file" ] && /usr/bin/python3 -c 'import email, email.policy, sys
m = email.message_from_binary_file(open(sys.argv[1], "rb"), policy=email.policy.default)
print("Subject:", m["Subject"]); print(m.get_content())' "$file"
}
# save_menu NAME=VALUE...: the menu's settings form, with the tags as they are.
save_menu() {
    fetch "$menu_url" "$admin" -b "$jar" >/dev/null
    post_form "$admin" options.php "$jar" "$front_option=$(cat "$work/front-a")" \
        "$back_option=$(cat "$work/back-a")" "$@"
}

### The seller's walkthrough: the endpoint, the events, the secret, the mode

status=$(save_menu "$access_option=buyers" "$limit_option=2" "$secret_option=$stripe_secret")
fetch "$menu_url" "$admin" -b "$jar" >/dev/null
stripe_url=$(php "$here/html-tool.php" xpath "$admin" '//code[@class="ostrel-stripe-url"]')
[ "${status%% *}" = 302 ] && [ "$(wp get-option "$access_option")" = buyers ] &&
    [ "$stripe_url" = "$site/wp-json/ostrel-$id_a/v1/stripe" ] &&
    contains "$admin" "checkout.session.completed" && contains "$admin" "charge.refunded" &&
    contains "$admin" "whsec_…${stripe_secret: -4}" && lacks "$admin" "$stripe_secret"
verdict "the menu saves the mode and the secret, shows the endpoint and its events, and the secret's end only" \
    "status $status, endpoint $stripe_url"
autoload=$(sql -N wordpress -e "SELECT autoload FROM wp_options WHERE option_name = '$secret_option'")
check "the secret is not autoloaded" [ "$autoload" = no -o "$autoload" = off ]
save_menu "$access_option=buyers" >/dev/null
check "saving the form with the secret's field empty keeps the secret" \
    [ "$(wp get-option "$secret_option")" = "$stripe_secret" ]

### The download page's address alone

status=$(fetch "$download_url" "$work/gate.html")
[ "$status" = 403 ] && contains "$work/gate.html" "personal link" && lacks "$work/gate.html" "balcony-herb-garden" &&
    ! grep -qE "$site/\\?$arg_a=" "$work/gate.html"
verdict "the download page's address alone gives a page saying how to get access, and no link" "status $status"
status=$(fetch "$(wp sign-link "$file_a" 0 $(($(date +%s) + 600)))" "$work/got")
[ "$status" = 403 ] && ! cmp -s "$work/got" "$sample/$product"
verdict "a link signed for no buyer gives no file" "status $status"

### Stripe's notifications

# signature TIME BODY SECRET: the hex HMAC-SHA256 of "TIME.BODY", as Stripe signs.
signature() { php -r 'echo hash_hmac("sha256", $argv[1] . "." . $argv[2], $argv[3]);' "$@"; }
# stripe_post EVENT_ID TYPE OBJECT_JSON SIGNING: posts an event, signed "good", "bad", "stale"
# (ten minutes old) or "none"; prints the status.
stripe_post() {
    local body time signed
    body="{\"id\":\"$1\",\"object\":\"event\",\"type\":\"$2\",\"data\":{\"object\":$3}}"
    time=$(date +%s)
    [ "$4" = stale ] && time=$((time - 600))
    signed=$(signature "$time" "$body" "$stripe_secret")
    [ "$4" = bad ] && signed=$(signature "$time" "$body" whsec_other)
    # Two v1 values, as while a secret is rolled: one of them matching is enough.
    local header=(-H "Stripe-Signature: t=$time,v1=$(printf '%064d' 0),v1=$signed")
    [ "$4" = none ] && header=()
    fetch "$stripe_url" "$work/stripe-answer" -H 'Content-Type: application/json' "${header[@]}" --data-binary "$body"
}
# The test signs as Stripe's own library checks: python3-stripe's verify_header accepts the
# header for its body and secret, and refuses it for a changed body or another secret.
now=$(date +%s)
cross_body='{"id":"evt_cross","object":"event","type":"ping"}'
cross_header="t=$now,v1=$(signature "$now" "$cross_body" "$stripe_secret")"
/usr/bin/python3 - "$cross_body" "$cross_header" "$stripe_secret" <<'PY'
import sys, stripe
body, header, secret = sys.argv[1:]
stripe.WebhookSignature.verify_header(body, header, secret, 300)
for other_body, other_secret in ((body + " ", secret), (body, "whsec_other")):
    try:
        stripe.WebhookSignature.verify_header(other_body, header, other_secret, 300)
        sys.exit(1)
    except stripe.error.SignatureVerificationError:
        pass
PY
verdict "python3-stripe's WebhookSignature accepts the test's signature, and refuses it for another body or secret"

# session ID PAYMENT_STATUS PAYMENT_INTENT EMAIL: a Checkout Session as Stripe sends it.
session() {
    echo "{\"id\":\"$1\",\"object\":\"checkout.session\",\"mode\":\"payment\",\"payment_status\":\"$2\",\"payment_intent\":\"$3\",\"customer_details\":{\"email\":\"$4\",\"name\":\"A Buyer\"}}"
}
charge() { echo "{\"id\":\"ch_$1\",\"object\":\"charge\",\"payment_intent\":\"$1\",\"refunded\":$2}"; }
# run_notifications WHAT ROW...: each ROW is LABEL|EVENT ID|TYPE|OBJECT|SIGNING|STATUS|GRANTS
# REVOKED afterwards.
run_notifications() {
    local what=$1 row label event type object signing want counts status wrong=()
    shift
    for row in "$@"; do
        IFS='|' read -r label event type object signing want counts <<<"$row"
        status=$(stripe_post "$event" "$type" "$object" "$signing")
        [ "$status" = "$want" ] && [ "$(grant_counts)" = "$counts" ] ||
            wrong+=("$label: status $status (want $want), grants $(grant_counts) (want $counts): $(head -c 200 "$work/stripe-answer")")
    done
    expect_none "Stripe's notifications: $what" "${wrong[@]}"
}
paid_a=$(session cs_test_a1b2c3d4 paid pi_a1b2c3d4 buyer-a@example.com)
run_notifications "wrong, stale and missing signatures and unpaid checkouts change nothing; a paid (or free) checkout is one grant, however often it is reported" \
    "a wrong signature|evt_a1|checkout.session.completed|$paid_a|bad|401|0 0" \
    "a signature ten minutes old|evt_a1|checkout.session.completed|$paid_a|stale|400|0 0" \
    "no signature|evt_a1|checkout.session.completed|$paid_a|none|400|0 0" \
    "an unpaid checkout|evt_u1|checkout.session.completed|$(session cs_test_unpaid01 unpaid pi_u1 buyer-u@example.com)|good|200|0 0" \
    "an event the plugin does not use|evt_o1|customer.created|{\"id\":\"cus_1\"}|good|200|0 0" \
    "a paid checkout|evt_a1|checkout.session.completed|$paid_a|good|200|1 0" \
    "the same event again|evt_a1|checkout.session.completed|$paid_a|good|200|1 0" \
    "another event for the same session|evt_a2|checkout.session.async_payment_succeeded|$paid_a|good|200|1 0" \
    "a checkout with nothing to pay|evt_f1|checkout.session.completed|$(session cs_test_free0001 no_payment_required '' free@example.com)|good|200|2 0"
fetch "$menu_url" "$admin" -b "$jar" >/dev/null
check "the menu shows when the last signed notification arrived" \
    contains "$admin" "The last correctly signed notification arrived on"

### The buyer's mail and personal link

mail_to buyer-a@example.com >"$work/mail-a"
personal=$(grep -oE "$personal_link_pattern" "$work/mail-a" | head -n 1)
mail_start=$(head -c 300 "$work/mail-a")
[ -n "$personal" ] && contains "$work/mail-a" "Subject: Your download: $name_a"
verdict "the buyer gets a mail with the product's name and a personal link to the download page" \
    "$mail_start"
check "the table holds no e-mail address, name or session id in clear" \
    [ -z "$(sql -N wordpress -e "SELECT * FROM $grants_table" | grep -e buyer-a -e 'A Buyer' -e cs_test -e pi_a1)" ]
buyer_jar=$work/buyer-a-cookies
status=$(fetch "$personal" "$work/buyer-page.html" -c "$buyer_jar" -D "$work/buyer-page.headers")
bound=$(grep -oE "$bound_link_pattern" "$work/buyer-page.html" | head -n 1)
cookie=$(grep -i "^set-cookie: $grant_arg=" "$work/buyer-page.headers")
[ "$status" = 200 ] && [ -n "$bound" ] && [[ ${cookie,,} == *"; httponly"* && ${cookie,,} == *"samesite=lax"* ]]
verdict "the personal link shows the download page with links bound to the grant, and sets an HttpOnly, SameSite=Lax cookie" \
    "status $status, cookie: $cookie"
status=$(fetch "$download_url" "$work/cookie-page.html" -b "$buyer_jar")
[ "$status" = 200 ] && grep -qE "$bound_link_pattern" "$work/cookie-page.html"
verdict "the cookie alone opens the download page in that browser" "status $status"

# body_is KIND: whether the last download ($work/got) is the whole file, the slice from byte 100,
# or the page saying the downloads are used up.
body_is() {
    case $1 in
        file) cmp -s "$work/got" "$sample/$product" ;;
        slice) cmp -s -i "100:0" "$sample/$product" "$work/got" ;;
        *) contains "$work/got" "You have used all your downloads of this file" &&
            contains "$work/got" "mailto:" && ! cmp -s "$work/got" "$sample/$product" ;;
    esac
}
# The allowance is 2 downloads of each file: DOWNLOAD|RANGE|STATUS|WHAT THE BODY IS
wrong=()
for row in "a download|-|200|file" "its Range continuation within ten minutes|100-|206|slice" \
    "a second download|-|200|file" "a third download|-|403|used up" "a Range request after it|100-|206|slice"; do
    IFS='|' read -r label range want body <<<"$row"
    range_args=()
    [ "$range" = - ] || range_args=(-r "$range")
    status=$(fetch "$bound" "$work/got" "${range_args[@]}")
    body_is "$body" && [ "$status" = "$want" ] || wrong+=("$label: status $status, want $want with the $body")
done
expect_none "the grant's link gives the exact bytes, a resumed download counts once, and the third download is refused with the seller's address" \
    "${wrong[@]}"

### Returning from checkout before and after the notification

paid_b=$(session cs_test_e5f6g7h8 paid pi_e5f6g7h8 buyer-b@example.com)
return_url="$download_url?session_id=cs_test_e5f6g7h8"
status=$(fetch "$return_url" "$work/return-before.html")
[ "$status" = 200 ] && contains "$work/return-before.html" "being confirmed" &&
    grep -qE '<meta http-equiv="refresh" content="5;url=[^"]*session_id=cs_test_e5f6g7h8' "$work/return-before.html" &&
    lacks "$work/return-before.html" "$arg_a="
verdict "back from checkout before the notification, the page says payment is being confirmed and refreshes itself" \
    "status $status"
status=$(fetch "$return_url&${grant_arg}_wait=12" "$work/return-late.html")
[ "$status" = 200 ] && contains "$work/return-late.html" "not been confirmed" && lacks "$work/return-late.html" "http-equiv"
verdict "after a minute of refreshing it stops and says the link comes by mail" "status $status"
run_notifications "the second buyer's payment makes a grant" "a paid checkout|evt_b1|checkout.session.completed|$paid_b|good|200|3 0"
return_jar=$work/return-cookies
status=$(fetch "$return_url" "$work/return-after.html" -c "$return_jar")
return_link=$(grep -oE "$bound_link_pattern" "$work/return-after.html" | head -n 1)
status_file=$(fetch "$return_link" "$work/got")
[ "$status" = 200 ] && [ "$status_file" = 200 ] && cmp -s "$work/got" "$sample/$product" &&
    [ "$(fetch "$download_url" /dev/null -b "$return_jar")" = 200 ]
verdict "back from checkout after the notification, the page gives a working link and a cookie for that browser" \
    "status $status, the link's $status_file"

### Refunds and expiry end access

refund_c=$(charge pi_c9d0e1f2 true)
run_notifications "a full refund revokes its grant, a partial one does not, and a refund before its payment leaves that grant revoked" \
    "a partial refund|evt_r0|charge.refunded|$(charge pi_a1b2c3d4 false)|good|200|3 0" \
    "a full refund|evt_r1|charge.refunded|$(charge pi_a1b2c3d4 true)|good|200|3 1" \
    "the refund again|evt_r1|charge.refunded|$(charge pi_a1b2c3d4 true)|good|200|3 1" \
    "a refund before its payment|evt_r2|charge.refunded|$refund_c|good|200|3 1" \
    "that payment, late|evt_c1|checkout.session.completed|$(session cs_test_c9d0e1f2 paid pi_c9d0e1f2 buyer-c@example.com)|good|200|4 2"
sql wordpress -e "UPDATE $grants_table SET expires = UNIX_TIMESTAMP() - 1 WHERE revoked = 0"
# WHO|ADDRESS|COOKIES|WHAT THE PAGE SAYS
wrong=()
for row in "the refunded buyer's personal link|$personal|/dev/null|has ended" \
    "the refunded buyer's cookie|$download_url|$buyer_jar|has ended" \
    "the refunded buyer's file link|$bound|/dev/null|has ended" \
    "the expired buyer's cookie|$download_url|$return_jar|has expired" \
    "the expired buyer's file link|$return_link|/dev/null|has expired"; do
    IFS='|' read -r label url cookies says <<<"$row"
    status=$(fetch "$url" "$work/ended" -b "$cookies")
    [ "$status" = 403 ] && contains "$work/ended" "$says" && contains "$work/ended" "mailto:" &&
        ! cmp -s "$work/ended" "$sample/$product" && ! grep -qE "$site/\\?$arg_a=" "$work/ended" ||
        wrong+=("$label: status $status, $(grep -o '<h1>[^<]*' "$work/ended")")
done
expect_none "after a refund or the expiry, links, cookies and file links give a page saying so and the seller's address, and no file" \
    "${wrong[@]}"
check "no mail went to the buyer whose refund came first" [ -z "$(mail_to buyer-c@example.com)" ]

### Back to anyone with the address

save_menu "$access_option=anyone" >/dev/null
status=$(fetch "$download_url" "$work/anyone.html")
[ "$status" = 200 ] && links_in "$work/anyone.html" | grep -q .
verdict "with anyone allowed again, the address alone gives links for anyone" "status $status"
# The SMTP catcher keeps running for check-buyers.sh, which stops it.

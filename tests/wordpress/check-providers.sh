# Only verified buyers, with PayPal and Lemon Squeezy beside Stripe: the seller sets both up as the
# README says; PayPal's messages count only when PayPal, asked with the message byte for byte,
# calls them VERIFIED (PayPal's answer is scripted in a must-use plugin, which also keeps what was
# posted back, and keeps the buyers' mail instead of sending it); Lemon Squeezy's count only when
# signed. Sourced by run-wordpress-test.sh after check-grants.sh, whose helpers it uses; the
# plugin serves anyone again at the end.

paypal_email_option=$(field paypal_email_option <"${keys[$id_a]}")
paypal_sandbox_option=$(field paypal_sandbox_option <"${keys[$id_a]}")
paypal_price_option=$(field paypal_price_option <"${keys[$id_a]}")
paypal_currency_option=$(field paypal_currency_option <"${keys[$id_a]}")
lemon_secret_option=$(field lemonsqueezy_secret_option <"${keys[$id_a]}")
lemon_secret=$(php -r 'echo bin2hex(random_bytes(16));')
live_ipn=https://ipnpb.paypal.com/cgi-bin/webscr
sandbox_ipn=https://ipnpb.sandbox.paypal.com/cgi-bin/webscr

cat >"$site_dir/wp-content/mu-plugins/ostrel-test-providers.php" <<'PHP'
<?php
// PayPal's answer to the plugin's postback, as the test scripts it: VERIFIED, INVALID or a
// timeout; what was posted back, and where, is kept.
add_filter(
	'pre_http_request',
	static function ( $pre, $args, $url ) {
		if ( ! preg_match( '#^https://ipnpb\.(sandbox\.)?paypal\.com/#', $url ) ) {
			return $pre;
		}
		update_option( 'ostrel_test_postback_url', $url, false );
		update_option( 'ostrel_test_postback_body', (string) $args['body'], false );
		$answer = get_option( 'ostrel_test_postback_answer', 'VERIFIED' );
		if ( 'timeout' === $answer ) {
			return new WP_Error( 'http_request_failed', 'cURL error 28: Operation timed out after 20001 milliseconds with 0 bytes received' );
		}
		return array(
			'headers'  => array(),
			'body'     => $answer,
			'response' => array( 'code' => 200, 'message' => 'OK' ),
			'cookies'  => array(),
			'filename' => null,
		);
	},
	10,
	3
);
// The buyers' mail, kept: "To:", "Subject:", the text, then "----".
add_filter(
	'pre_wp_mail',
	static function ( $sent, $atts ) {
		$to = implode( ',', (array) $atts['to'] );
		update_option( 'ostrel_test_mails', get_option( 'ostrel_test_mails', '' ) . "To: $to\nSubject: {$atts['subject']}\n{$atts['message']}\n----\n", false );
		return true;
	},
	10,
	2
);
PHP

# provider_counts PROVIDER: "GRANTS REVOKED" of that provider.
provider_counts() {
    sql -N wordpress -e "SELECT COUNT(*), COALESCE(SUM(revoked), 0) FROM $grants_table WHERE provider = '$1'" | tr '\t' ' '
}
# kept_mail ADDRESS: the last mail kept for ADDRESS.
kept_mail() {
    wp get-option ostrel_test_mails | awk -v to="To: $1" 'BEGIN { RS = "----\n" } index($0, to) == 1 { mail = $0 } END { printf "%s", mail }'
}
# returns_with_cookie URL JAR: whether coming back from checkout at URL shows the download page with
# links bound to the grant and sets the cookie, which alone opens the page again.
returns_with_cookie() {
    local status
    status=$(fetch "$1" "$work/returned.html" -c "$2" -D "$work/returned.headers")
    [ "$status" = 200 ] && grep -qE "$bound_link_pattern" "$work/returned.html" &&
        grep -qi "^set-cookie: $grant_arg=" "$work/returned.headers" &&
        [ "$(fetch "$download_url" /dev/null -b "$2")" = 200 ]
}
# waits_for URL ARG: whether coming back from checkout at URL before the notification says the
# payment is being confirmed and refreshes itself with ARG kept.
waits_for() {
    local status
    status=$(fetch "$1" "$work/waiting.html")
    [ "$status" = 200 ] && contains "$work/waiting.html" "being confirmed" &&
        grep -qE "<meta http-equiv=\"refresh\" content=\"5;url=[^\"]*$2" "$work/waiting.html" &&
        lacks "$work/waiting.html" "$arg_a="
}
# refused URL COOKIES: whether URL gives the page saying access has ended, and no file link.
refused() {
    local status
    status=$(fetch "$1" "$work/refused.html" -b "$2")
    [ "$status" = 403 ] && contains "$work/refused.html" "has ended" && ! grep -qE "$site/\\?$arg_a=" "$work/refused.html"
}

### The seller's walkthrough for both

fetch "$menu_url" "$admin" -b "$jar" >/dev/null
suggested=$(php "$here/html-tool.php" xpath "$admin" '//table[contains(@class,"ostrel-lemonsqueezy")]//p[@class="description"]' |
    grep -oE 'will do: [A-Za-z0-9]{32}' | cut -d' ' -f3)
status=$(save_menu "$access_option=buyers" "$paypal_email_option=Shop@Example.com" "$paypal_sandbox_option=1" \
    "$paypal_price_option=19" "$paypal_currency_option=eur" "$lemon_secret_option=$lemon_secret")
fetch "$menu_url" "$admin" -b "$jar" >/dev/null
paypal_url=$(php "$here/html-tool.php" xpath "$admin" '//code[@class="ostrel-paypal-url"]')
lemon_url=$(php "$here/html-tool.php" xpath "$admin" '//code[@class="ostrel-lemonsqueezy-url"]')
saved="$(wp get-option "$paypal_email_option") $(wp get-option "$paypal_sandbox_option") $(wp get-option "$paypal_price_option") $(wp get-option "$paypal_currency_option")"
[ "${status%% *}" = 302 ] && [ -n "$suggested" ] && [ "$saved" = "shop@example.com 1 19.00 EUR" ] &&
    [ "$paypal_url" = "$site/wp-json/ostrel-$id_a/v1/paypal" ] &&
    [ "$lemon_url" = "$site/wp-json/ostrel-$id_a/v1/lemonsqueezy" ] &&
    contains "$admin" "order_created, order_refunded" && contains "$admin" "?order_identifier=[order_identifier]" &&
    contains "$admin" "…${lemon_secret: -4}" && lacks "$admin" "$lemon_secret"
verdict "the menu saves PayPal's address, sandbox, price and currency and Lemon Squeezy's secret, shows both addresses, the events and the return links, and the secret's end only" \
    "status $status, saved: $saved, PayPal $paypal_url, Lemon Squeezy $lemon_url, suggested secret '$suggested'"
autoloads=$(sql -N wordpress -e "SELECT DISTINCT autoload FROM wp_options WHERE option_name IN ('$lemon_secret_option', '$paypal_email_option', '$paypal_price_option')")
[ -n "$autoloads" ] && ! grep -qvE '^(no|off)$' <<<"$autoloads"
verdict "the new options are not autoloaded" "$autoloads"
# What the form refuses: FIELD=VALUE (the saved value stays)
wrong=()
for pair in "$paypal_email_option=not an address" "$paypal_price_option=19 euros" "$paypal_currency_option=euro" \
    "$lemon_secret_option=short" "$lemon_secret_option=$lemon_secret 100%"; do
    save_menu "$access_option=buyers" "$paypal_sandbox_option=1" "$pair" >/dev/null
    now="$(wp get-option "$paypal_email_option") $(wp get-option "$paypal_price_option") $(wp get-option "$paypal_currency_option") $(wp get-option "$lemon_secret_option")"
    [ "$now" = "shop@example.com 19.00 EUR $lemon_secret" ] || wrong+=("$pair: now $now")
done
expect_none "an address, price, currency or secret of the wrong shape is refused and the saved one kept" "${wrong[@]}"

### PayPal's messages

# ipn TXN STATUS RECEIVER GROSS CURRENCY [PARENT]: a message as PayPal form-encodes it, with
# characters left plain or encoded in ways PHP would not encode them, so a postback made from the
# decoded fields would differ: the postback must repeat the body unchanged.
ipn() {
    local body="mc_gross=$4&protection_eligibility=Eligible&payer_id=LPLWNMTBWMFAY&payment_date=20:12:59+Jan+13,+2026+PST"
    body+="&payment_status=$2&charset=UTF-8&first_name=J%c3%bcrgen&mc_fee=0.88&notify_version=3.9&custom=&payer_status=verified"
    body+="&business=$3&quantity=1&verify_sign=AtkOfCXbDm2hu0ZELryHFjY-Vb7PAUvS6nMXgysbElEn9v-1XcmSoGtf&payer_email=buyer-p%40example.com"
    body+="&txn_id=$1&payment_type=instant&last_name=O%27Brien%20Smith&receiver_email=$3&receiver_id=S8XGHLYDW9T3S&txn_type=web_accept"
    body+="&item_name=Balcony+Herb+Garden&mc_currency=$5&residence_country=DE&test_ipn=1&ipn_track_id=a1b2c3d4e5f6"
    [ -n "${6:-}" ] && body+="&parent_txn_id=$6&reason_code=refund"
    echo "$body"
}
paypal_txn=4RT37601AB1234567
to_seller=Shop%40example.COM
# run_ipn WHAT ROW...: each ROW is LABEL|PAYPAL'S ANSWER|BODY|STATUS|GRANTS REVOKED afterwards;
# every message that reaches PayPal must reach it byte for byte, and every 200 is empty.
run_ipn() {
    local what=$1 row label answer body want counts status posted wrong=()
    shift
    for row in "$@"; do
        IFS='|' read -r label answer body want counts <<<"$row"
        wp set-option ostrel_test_postback_answer "$answer"
        wp set-option ostrel_test_postback_body
        status=$(fetch "$paypal_url" "$work/paypal-answer" --data-binary "$body")
        posted=$(wp get-option ostrel_test_postback_body)
        if [ "$status" != "$want" ] || [ "$(provider_counts paypal)" != "$counts" ]; then
            wrong+=("$label: status $status (want $want), grants $(provider_counts paypal) (want $counts): $(head -c 200 "$work/paypal-answer")")
        elif [ "$want" = 400 ] && [ -n "$posted" ]; then
            wrong+=("$label: a malformed message was posted back")
        elif [ "$want" != 400 ] && [ "$posted" != "cmd=_notify-validate&$body" ]; then
            wrong+=("$label: posted back: $(head -c 300 <<<"$posted")")
        elif [ "$want" = 200 ] && [ -s "$work/paypal-answer" ]; then
            wrong+=("$label: the 200 has a body: $(head -c 100 "$work/paypal-answer")")
        fi
    done
    expect_none "PayPal's messages: $what" "${wrong[@]}"
}
paid_p=$(ipn "$paypal_txn" Completed "$to_seller" 19.00 EUR)
run_ipn "a malformed body is refused at once; INVALID, a timeout, another receiver, too little, another currency or a pending payment change nothing; a verified payment is one grant, however often it comes" \
    "a body that is no message|VERIFIED|{\"txn_id\":\"$paypal_txn\"}|400|0 0" \
    "PayPal says INVALID|INVALID|$paid_p|200|0 0" \
    "PayPal does not answer (PayPal retries later)|timeout|$paid_p|503|0 0" \
    "a payment to another receiver|VERIFIED|$(ipn 5RT37601AB1234567 Completed other%40example.com 19.00 EUR)|200|0 0" \
    "less than the price|VERIFIED|$(ipn 6RT37601AB1234567 Completed "$to_seller" 1.00 EUR)|200|0 0" \
    "another currency|VERIFIED|$(ipn 7RT37601AB1234567 Completed "$to_seller" 19.00 USD)|200|0 0" \
    "a pending payment|VERIFIED|$(ipn "$paypal_txn" Pending "$to_seller" 19.00 EUR)|200|0 0" \
    "a verified payment|VERIFIED|$paid_p|200|1 0" \
    "the same transaction again|VERIFIED|$paid_p|200|1 0"
check "the postback went to PayPal's sandbox, as the seller ticked" [ "$(wp get-option ostrel_test_postback_url)" = "$sandbox_ipn" ]
kept_mail buyer-p@example.com >"$work/mail-p"
personal_p=$(grep -oE "$personal_link_pattern" "$work/mail-p" | head -n 1)
mail_p=$(head -c 300 "$work/mail-p")
[ -n "$personal_p" ] && contains "$work/mail-p" "Subject: Your download: $name_a" &&
    [ "$(fetch "$personal_p" "$work/personal-p.html")" = 200 ] && grep -qE "$bound_link_pattern" "$work/personal-p.html"
verdict "the PayPal buyer gets a mail whose personal link opens the download page" "$mail_p"
check "back from PayPal before the message, the page waits with the transaction kept" waits_for "$download_url?tx=8RT37601AB1234567" "tx=8RT37601AB1234567"
check "back from PayPal after the message (tx), the page gives the download and a cookie for that browser" \
    returns_with_cookie "$download_url?tx=$paypal_txn" "$work/paypal-cookies"
run_ipn "a partial refund leaves the purchase standing; a refund or reversal of the whole revokes it" \
    "a partial refund|VERIFIED|$(ipn 9RF37601AB1234567 Refunded "$to_seller" -5.00 EUR "$paypal_txn")|200|1 0" \
    "a full refund|VERIFIED|$(ipn 9RF37601AB1234568 Refunded "$to_seller" -19.00 EUR "$paypal_txn")|200|1 1"
refused "$personal_p" /dev/null && refused "$download_url" "$work/paypal-cookies"
verdict "after PayPal's refund the personal link and the cookie are refused"
fetch "$menu_url" "$admin" -b "$jar" >/dev/null
last_p=$(php "$here/html-tool.php" xpath "$admin" '//td[@class="ostrel-paypal-last"]')
save_menu "$access_option=buyers" >/dev/null
run_ipn "without the sandbox ticked, a message goes on being checked" "an INVALID one|INVALID|$paid_p|200|1 1"
check "without the sandbox ticked, the postback goes to PayPal itself" [ "$(wp get-option ostrel_test_postback_url)" = "$live_ipn" ]

### Lemon Squeezy's notifications

# lemon_post EVENT ID IDENTIFIER STATUS REFUNDED SIGNING: posts an order event, signed "good",
# "bad" (with another secret) or "none"; prints the status.
lemon_post() {
    local body signature header
    body="{\"meta\":{\"event_name\":\"$1\",\"custom_data\":{\"ref\":\"sales-page\"},\"test_mode\":true},\"data\":{\"type\":\"orders\",\"id\":\"$2\",\"attributes\":{\"store_id\":1,\"identifier\":\"$3\",\"order_number\":$2,\"user_name\":\"A Buyer\",\"user_email\":\"buyer-l@example.com\",\"currency\":\"EUR\",\"total\":1900,\"status\":\"$4\",\"refunded\":$5}}}"
    signature=$(php -r 'echo hash_hmac("sha256", $argv[1], $argv[2]);' "$body" "$lemon_secret")
    [ "$6" = bad ] && signature=$(php -r 'echo hash_hmac("sha256", $argv[1], "another-secret-0123456789");' "$body")
    header=(-H "X-Signature: $signature")
    [ "$6" = none ] && header=()
    fetch "$lemon_url" "$work/lemon-answer" -H 'Content-Type: application/json' -H "X-Event-Name: $1" "${header[@]}" --data-binary "$body"
}
# run_lemon WHAT ROW...: each ROW is LABEL|EVENT|ID|IDENTIFIER|STATUS|REFUNDED|SIGNING|STATUS|GRANTS
# REVOKED afterwards.
run_lemon() {
    local what=$1 row label event id identifier state refunded signing want counts status wrong=()
    shift
    for row in "$@"; do
        IFS='|' read -r label event id identifier state refunded signing want counts <<<"$row"
        status=$(lemon_post "$event" "$id" "$identifier" "$state" "$refunded" "$signing")
        [ "$status" = "$want" ] && [ "$(provider_counts lemonsqueezy)" = "$counts" ] ||
            wrong+=("$label: status $status (want $want), grants $(provider_counts lemonsqueezy) (want $counts): $(head -c 200 "$work/lemon-answer")")
    done
    expect_none "Lemon Squeezy's notifications: $what" "${wrong[@]}"
}
order_l=7c6a1e3e-5b2f-4c1d-9a8e-2f3b4c5d6e7f
run_lemon "unsigned and wrongly signed ones are refused, an unpaid order changes nothing, a paid order is one grant however often it comes" \
    "no signature|order_created|5301|$order_l|paid|false|none|401|0 0" \
    "a wrong signature|order_created|5301|$order_l|paid|false|bad|401|0 0" \
    "an order not paid|order_created|5302|0d1e2f3a-4b5c-4d6e-8f7a-8b9c0d1e2f3a|pending|false|good|200|0 0" \
    "a paid order|order_created|5301|$order_l|paid|false|good|200|1 0" \
    "the same event again|order_created|5301|$order_l|paid|false|good|200|1 0"
kept_mail buyer-l@example.com >"$work/mail-l"
personal_l=$(grep -oE "$personal_link_pattern" "$work/mail-l" | head -n 1)
mail_l=$(head -c 300 "$work/mail-l")
[ -n "$personal_l" ] && [ "$(fetch "$personal_l" /dev/null)" = 200 ]
verdict "the Lemon Squeezy buyer gets a mail with a personal link that opens the download page" "$mail_l"
check "back from Lemon Squeezy before the notification, the page waits with the order kept" \
    waits_for "$download_url?order_identifier=0d1e2f3a-4b5c-4d6e-8f7a-8b9c0d1e2f3a" "order_identifier=0d1e2f3a-4b5c-4d6e-8f7a-8b9c0d1e2f3a"
check "back from Lemon Squeezy after the notification (order identifier), the page gives the download and a cookie" \
    returns_with_cookie "$download_url?order_identifier=$order_l" "$work/lemon-cookies"
run_lemon "a partial refund leaves the purchase standing; a full one revokes it" \
    "a partial refund|order_refunded|5301|$order_l|paid|false|good|200|1 0" \
    "a full refund|order_refunded|5301|$order_l|refunded|true|good|200|1 1" \
    "the refund again|order_refunded|5301|$order_l|refunded|true|good|200|1 1"
refused "$personal_l" /dev/null && refused "$download_url" "$work/lemon-cookies"
verdict "after Lemon Squeezy's refund the personal link and the cookie are refused"
fetch "$menu_url" "$admin" -b "$jar" >/dev/null
last_l=$(php "$here/html-tool.php" xpath "$admin" '//td[@class="ostrel-lemonsqueezy-last"]')
[[ $last_p == *"The last genuine notification arrived on"* && $last_l == *"The last genuine notification arrived on"* ]]
verdict "the menu shows when each provider's last genuine notification arrived" "PayPal: $last_p" "Lemon Squeezy: $last_l"
check "the table holds no PayPal transaction, Lemon Squeezy order or buyer's address in clear" \
    [ -z "$(sql -N wordpress -e "SELECT * FROM $grants_table" | grep -e "$paypal_txn" -e "$order_l" -e buyer-p -e buyer-l)" ]

### Back to anyone with the address

save_menu "$access_option=anyone" >/dev/null
rm -f "$site_dir/wp-content/mu-plugins/ostrel-test-providers.php"
for option in ostrel_test_postback_answer ostrel_test_postback_body ostrel_test_postback_url ostrel_test_mails; do
    wp set-option "$option"
done

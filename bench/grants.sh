#!/usr/bin/env bash
# Times the plugin in "Only verified buyers" mode on the WordPress test's throwaway site (MariaDB,
# Apache with mod_php on 127.0.0.1): the download page opened with a personal key, with 10 and with
# 10,000 grants in the table, and Stripe's signed notifications, new ones (each makes a grant) and
# a replay of one already seen (the signature check and the duplicate lookup only).
# Usage: bench/grants.sh [WORDPRESS_DIR]; OSTREL_BENCH_REQUESTS requests each (default 30).
# Needs what the WordPress test needs (scripts/install-deps.sh) and build/ostrel/ostrel-build.
set -uo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
builder=$(realpath "${OSTREL_BENCH_BUILDER:-$repo/build/ostrel/ostrel-build}")
sample=$(realpath "${OSTREL_BENCH_SAMPLE:-$repo/examples/sample-product}")
wordpress=$(realpath -m "${1:-/usr/share/wordpress}")
requests=${OSTREL_BENCH_REQUESTS:-30}
here=$repo/tests/wordpress
export PATH="$PATH:/usr/sbin:/sbin" QT_QPA_PLATFORM=offscreen

# As the WordPress test does: Apache does not serve as root, so as root run as www-data on copies.
if [ "$(id -u)" -eq 0 ]; then
    outer=$(mktemp -d "${TMPDIR:-/tmp}/ostrel-bench-root.XXXXXX")
    mkdir -p "$outer/program" "$outer/repo/bench" "$outer/repo/tests"
    cp "$builder" "$outer/program/"
    cp -r "$(dirname "$builder")/plugintemplatepro" "$outer/program/"
    cp -r "$sample" "$outer/sample"
    cp -r "$here" "$outer/repo/tests/wordpress"
    cp "$0" "$outer/repo/bench/grants.sh"
    chown -R www-data:www-data "$outer"
    chmod 755 "$outer"
    runuser -u www-data -- env HOME="$outer" TMPDIR="$outer" OSTREL_BENCH_REQUESTS="$requests" \
        OSTREL_BENCH_BUILDER="$outer/program/$(basename "$builder")" OSTREL_BENCH_SAMPLE="$outer/sample" \
        bash "$outer/repo/bench/grants.sh" "$wordpress"
    status=$?
    rm -rf "$outer"
    exit $status
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/ostrel-bench.XXXXXX")
# shellcheck disable=SC2034 # site.sh installs WordPress with it
password=$(php -r 'echo bin2hex(random_bytes(12));')
started=()
cleanup() {
    local pid
    for pid in "${started[@]}"; do kill "$pid" 2>/dev/null; done
    for pid in "${started[@]}"; do wait "$pid" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT
# shellcheck source=../tests/wordpress/lib.sh
. "$here/lib.sh"
# shellcheck source=../tests/wordpress/site.sh
. "$here/site.sh"
start_site >&2

"$builder" --pages "$sample" --front index.html --download download.html --id herbs --name "Balcony Herbs" \
    --uri https://example.com/herbs --description Bench --version 1.0 --author Bench \
    --author-uri https://example.com --license GPL-2.0-or-later --output "$work/out" >"$work/build.out" 2>&1 ||
    abort "ostrel-build builds the sample product"
plugin=$(wp install-plugin "$(tail -n 1 "$work/build.out")" | tail -n 1)
wp activate "$plugin" || abort "the plugin activates"
wp keys "$plugin" >"$work/keys"
key() { field "$1" <"$work/keys"; }
grants_table=wp_$(key grants_table)
stripe_secret=whsec_$(php -r 'echo bin2hex(random_bytes(16));')
wp set-option "$(key stripe_secret_option)" "$stripe_secret"
wp set-option "$(key access_option)" buyers
# The menu saves the mode autoloaded, as every page reads it.
sql wordpress -e "UPDATE wp_options SET autoload = 'yes' WHERE option_name = '$(key access_option)'"
# Buyers' mail goes nowhere: what is timed is the plugin, not a mail server.
mkdir -p "$site_dir/wp-content/mu-plugins"
echo "<?php add_filter( 'pre_wp_mail', '__return_true' );" >"$site_dir/wp-content/mu-plugins/no-mail.php"
token=$(wp grant "$plugin" cs_bench_mine buyer@example.com) || abort "a grant is made"
personal="$(key download_url)?$(key grant_arg)=$token"

# add_grants N: N more rows shaped as Stripe's grants, random hashes, made in the last year.
add_grants() {
    sql wordpress -e "INSERT INTO $grants_table (id, provider, order_hash, order_tail, payment_hash,
        email_hash, token_hash, created, expires, download_limit)
        SELECT MD5(UUID()), 'stripe', SHA2(UUID(), 256), LEFT(MD5(UUID()), 4), SHA2(UUID(), 256),
        SHA2(UUID(), 256), SHA2(UUID(), 256), UNIX_TIMESTAMP() - seq * 3000,
        UNIX_TIMESTAMP() - seq * 3000 + 30 * 86400, 5 FROM seq_1_to_$1"
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
# timed WANT URL [CURL OPTION]...: the request's time in ms; another status is noted in
# $work/wrong, as this runs in a pipeline.
timed() {
    local want=$1 url=$2 out
    shift 2
    out=$(curl -sS --max-time 60 -o "$work/answer" -w '%{http_code} %{time_total}' "$@" "$url")
    [ "${out%% *}" = "$want" ] ||
        echo "$url answers $want (got ${out%% *}: $(head -c 300 "$work/answer"))" >>"$work/wrong"
    awk -v s="${out#* }" 'BEGIN { printf "%.2f\n", s * 1000 }'
}
page_ms() {
    local i
    for i in $(seq 10); do timed 200 "$personal" >/dev/null; done # warms PHP's opcode cache and MariaDB
    for i in $(seq "$requests"); do timed 200 "$personal"; done | median
}
stripe_url=$site/wp-json/$(key rest_namespace)/stripe
# stripe_ms EVENT_ID: one notification of a paid checkout, signed now, its time in ms.
stripe_ms() {
    local body time
    body="{\"id\":\"evt_$1\",\"object\":\"event\",\"type\":\"checkout.session.completed\",\"data\":{\"object\":{\"id\":\"cs_test_$1\",\"object\":\"checkout.session\",\"mode\":\"payment\",\"payment_status\":\"paid\",\"payment_intent\":\"pi_$1\",\"customer_details\":{\"email\":\"buyer-$1@example.com\",\"name\":\"A Buyer\"}}}}"
    time=$(date +%s)
    timed 200 "$stripe_url" -H 'Content-Type: application/json' --data-binary "$body" \
        -H "Stripe-Signature: t=$time,v1=$(php -r 'echo hash_hmac("sha256", $argv[1] . "." . $argv[2], $argv[3]);' "$time" "$body" "$stripe_secret")"
}

right() { [ ! -e "$work/wrong" ] || abort "every request is answered as expected" "$(head -n 3 "$work/wrong")"; }

add_grants 9
small=$(page_ms)
add_grants 9990
[ "$(sql -N wordpress -e "SELECT COUNT(*) FROM $grants_table")" = 10000 ] || abort "the table holds 10,000 grants"
large=$(page_ms)
right
for i in 1 2 3; do stripe_ms "warm$i" >/dev/null; done
before=$(sql -N wordpress -e "SELECT COUNT(*) FROM $grants_table")
notification=$(for i in $(seq "$requests"); do stripe_ms "$(php -r 'echo bin2hex(random_bytes(12));')"; done | median)
[ "$(sql -N wordpress -e "SELECT COUNT(*) FROM $grants_table")" = $((before + requests)) ] ||
    abort "each notification makes a grant"
replay=$(for i in $(seq "$requests"); do stripe_ms warm1; done | median)
right
grep -q duplicate "$work/answer" || abort "a replay is answered as a duplicate"

echo "Medians of $requests requests over HTTP; WordPress $(php -r 'include $argv[1]; echo $wp_version;' "$wordpress/wp-includes/version.php"), PHP $(php -r 'echo PHP_VERSION;')"
echo "download page, 10 grants: $small ms"
echo "download page, 10,000 grants: $large ms"
echo "one Stripe notification: $notification ms"
echo "one replayed Stripe notification (signature check, duplicate lookup): $replay ms"

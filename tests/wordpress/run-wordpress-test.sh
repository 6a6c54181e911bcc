#!/usr/bin/env bash
# Builds two plugins with ostrel-build, installs them into a throwaway WordPress (its own MariaDB
# on a socket, Apache with mod_php on 127.0.0.1 with its own configuration) and checks what
# visitors, a Contributor, the site owner and the uninstaller get, the product's protection first;
# then a site made for the test, in a browser beside its plain files.
# Usage: run-wordpress-test.sh OSTREL_BUILD SAMPLE_PRODUCT_DIR [WORDPRESS_DIR]
# WORDPRESS_DIR is the WordPress every site is copied from, Debian's package's by default.
set -uo pipefail

if [ $# -lt 2 ] || [ $# -gt 3 ]; then
    echo "usage: $0 OSTREL_BUILD SAMPLE_PRODUCT_DIR [WORDPRESS_DIR]" >&2
    exit 2
fi
builder=$(realpath "$1")
sample=$(realpath "$2")
wordpress=$(realpath -m "${3:-/usr/share/wordpress}")
here=$(cd "$(dirname "$0")" && pwd)
export PATH="$PATH:/usr/sbin:/sbin"
export QT_QPA_PLATFORM=offscreen

# Hosts run WordPress as an unprivileged user, and Apache does not serve as root: as root, the
# test runs as www-data, on copies of the builder, the template, the sample and itself.
if [ "$(id -u)" -eq 0 ]; then
    outer=$(mktemp -d "${TMPDIR:-/tmp}/ostrel-wp-root.XXXXXX")
    mkdir "$outer/program"
    cp "$builder" "$outer/program/"
    cp -r "$(dirname "$builder")/plugintemplatepro" "$outer/program/"
    cp -r "$sample" "$outer/sample"
    cp -r "$here" "$outer/tests"
    chown -R www-data:www-data "$outer"
    chmod 755 "$outer"
    runuser -u www-data -- env HOME="$outer" TMPDIR="$outer" \
        bash "$outer/tests/run-wordpress-test.sh" "$outer/program/$(basename "$builder")" "$outer/sample" "$wordpress"
    status=$?
    rm -rf "$outer"
    exit $status
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/ostrel-wp.XXXXXX")
password=$(php -r 'echo bin2hex(random_bytes(12));')
started=()

cleanup() {
    local pid
    for pid in "${started[@]}"; do
        kill "$pid" 2>/dev/null
    done
    for pid in "${started[@]}"; do
        wait "$pid" 2>/dev/null
    done
    rm -rf "$work"
}
trap cleanup EXIT

# shellcheck source=lib.sh
. "$here/lib.sh"

for tool in php mariadbd mariadb-install-db mariadb curl unzip apache2 chromium; do
    command -v "$tool" >/dev/null || abort "tool $tool is installed (scripts/install-deps.sh)"
done
php -r 'exit(function_exists("imagecreatefrompng") ? 0 : 1);' || abort "php-gd is installed (scripts/install-deps.sh)"
for module in aiosmtpd stripe; do
    /usr/bin/python3 -c "import $module" 2>/dev/null || abort "python3-$module is installed (scripts/install-deps.sh)"
done
[ -f "$wordpress/wp-includes/version.php" ] ||
    abort "WordPress is in $wordpress (Debian's wordpress package, or scripts/install-deps.sh for the newest)"
echo "WordPress $(php -r 'include $argv[1]; echo $wp_version;' "$wordpress/wp-includes/version.php") from $wordpress"

# shellcheck source=site.sh
. "$here/site.sh"
start_site

# shellcheck source=check-plugins.sh
. "$here/check-plugins.sh"
# shellcheck source=check-delivery.sh
. "$here/check-delivery.sh"
# shellcheck source=check-grants.sh
. "$here/check-grants.sh"
# shellcheck source=check-buyers.sh
. "$here/check-buyers.sh"
# shellcheck source=check-providers.sh
. "$here/check-providers.sh"
# shellcheck source=check-site.sh
. "$here/check-site.sh"
# shellcheck source=check-lifecycle.sh
. "$here/check-lifecycle.sh"
. "$here/check-guidance.sh"
# shellcheck source=check-multisite.sh
. "$here/check-multisite.sh"
# shellcheck source=check-nginx.sh
. "$here/check-nginx.sh"

if [ "$failed" -ne 0 ]; then
    show_log "Apache" "$work/apache/error.log"
    show_log "Apache (network)" "$work/apache-network/error.log"
    show_log "MariaDB" "$work/db.log"
fi
finish

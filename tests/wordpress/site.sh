# Starts the throwaway site of the WordPress test: a private MariaDB on a socket, and Apache with
# mod_php on 127.0.0.1 with its own configuration file, set up as Debian sets it up and as hosts
# run WordPress: folders listed, .htaccess honoured, pretty permalinks through mod_rewrite.
# Plugins live where some site layouts move them, away from wp-content/plugins, and PHP runs with
# short open tags and errors shown, as some hosts have it.
# Sourced; needs $work, and fills $site_dir, $plugins_dir, $port, $site, $plugins_url, $socket,
# $debug_log and $started.

site_dir=$work/site
plugins_path=/app/plugins
plugins_dir=$site_dir$plugins_path
socket=$work/db.sock
debug_log=$work/debug.log
# PHP's memory limit, far below the largest delivery file the test downloads.
php_memory_limit=64M

start_database() {
    local me
    me=$(id -un)
    mariadb-install-db --no-defaults --user="$me" --datadir="$work/db" --skip-test-db \
        --auth-root-authentication-method=normal >"$work/db-install.log" 2>&1 ||
        { show_log "mariadb-install-db" "$work/db-install.log"; abort "MariaDB data folder is created"; }
    mariadbd --no-defaults --user="$me" --datadir="$work/db" --socket="$socket" \
        --pid-file="$work/db.pid" --skip-networking --log-error="$work/db.log" >>"$work/db.log" 2>&1 &
    started+=($!)
    for _ in $(seq 100); do
        sql -e 'SELECT 1' >/dev/null 2>&1 && break
        sleep 0.3
    done
    sql -e 'CREATE DATABASE wordpress CHARACTER SET utf8mb4 COLLATE utf8mb4_unicode_520_ci' ||
        { show_log "MariaDB" "$work/db.log"; abort "MariaDB starts and takes a database"; }
    pass "MariaDB runs on its own socket"
}

sql() { mariadb --no-defaults --socket="$socket" --user=root "$@"; }

free_port() {
    php -r '$s = stream_socket_server("tcp://127.0.0.1:0"); echo substr(strrchr(stream_socket_get_name($s, false), ":"), 1);'
}

write_wordpress_config() { # FOLDER DATABASE SETTINGS: SETTINGS are PHP lines of the site's own
    local salt
    salt=$(php -r 'echo bin2hex(random_bytes(32));')
    cat >"$1/wp-config.php" <<CONFIG
<?php
define( 'DB_NAME', '$2' );
define( 'DB_USER', 'root' );
define( 'DB_PASSWORD', '' );
define( 'DB_HOST', 'localhost:$socket' );
define( 'DB_CHARSET', 'utf8mb4' );
define( 'DB_COLLATE', '' );
foreach ( array( 'AUTH_KEY', 'SECURE_AUTH_KEY', 'LOGGED_IN_KEY', 'NONCE_KEY', 'AUTH_SALT', 'SECURE_AUTH_SALT', 'LOGGED_IN_SALT', 'NONCE_SALT' ) as \$key ) {
	define( \$key, '$salt' . \$key );
}
\$table_prefix = 'wp_';
$3
define( 'WP_DEBUG', true );
define( 'WP_DEBUG_LOG', '$debug_log' );
define( 'WP_DEBUG_DISPLAY', false );
define( 'FS_METHOD', 'direct' );
define( 'DISABLE_WP_CRON', true );
define( 'AUTOMATIC_UPDATER_DISABLED', true );
define( 'WP_HTTP_BLOCK_EXTERNAL', true );
defined( 'ABSPATH' ) || define( 'ABSPATH', __DIR__ . '/' );
require_once ABSPATH . 'wp-settings.php';
CONFIG
}

write_single_site_config() {
    write_wordpress_config "$site_dir" wordpress "define( 'WP_HOME', '$site' );
define( 'WP_SITEURL', '$site' );
define( 'WP_PLUGIN_DIR', '$plugins_dir' );
define( 'WP_PLUGIN_URL', '$plugins_url' );"
    # What WordPress writes for pretty permalinks when it may.
    cat >"$site_dir/.htaccess" <<'HTACCESS'
# BEGIN WordPress
<IfModule mod_rewrite.c>
RewriteEngine On
RewriteRule .* - [E=HTTP_AUTHORIZATION:%{HTTP:Authorization}]
RewriteBase /
RewriteRule ^index\.php$ - [L]
RewriteCond %{REQUEST_FILENAME} !-f
RewriteCond %{REQUEST_FILENAME} !-d
RewriteRule . /index.php [L]
</IfModule>
# END WordPress
HTACCESS
}

write_apache_config() { # FOLDER DOCUMENT_ROOT PORT: writes FOLDER/httpd.conf
    local dir=$1 root=$2 listen=$3 modules=/usr/lib/apache2/modules module
    mkdir -p "$dir"
    {
        cat <<CONF
ServerRoot /etc/apache2
ServerName 127.0.0.1
Listen 127.0.0.1:$listen
PidFile $dir/httpd.pid
DefaultRuntimeDir $dir
Mutex file:$dir default
ErrorLog $dir/error.log
CustomLog $dir/access.log "%h %t \"%r\" %>s %b"
LogLevel warn
CONF
        # Debian's modules as it enables them, and mod_rewrite, which WordPress sites turn on.
        for module in mpm_prefork authz_core authz_host authn_core access_compat alias dir mime \
            autoindex env setenvif filter deflate rewrite; do
            echo "LoadModule ${module}_module $modules/mod_$module.so"
        done
        echo "LoadModule php_module $(ls "$modules"/libphp*.so | head -n 1)"
        for module in mpm_prefork mime dir autoindex deflate setenvif; do
            echo "Include mods-available/$module.conf"
        done
        echo "Include $(ls /etc/apache2/mods-available/php*.conf | head -n 1)"
        cat <<CONF
DocumentRoot $root
<Directory />
	Options FollowSymLinks
	AllowOverride None
	Require all denied
</Directory>
<Directory $root>
	Options Indexes FollowSymLinks
	AllowOverride All
	Require all granted
</Directory>
AccessFileName .htaccess
<FilesMatch "^\.ht">
	Require all denied
</FilesMatch>
php_admin_value memory_limit $php_memory_limit
php_admin_flag short_open_tag on
# WordPress turns these off for its own requests; a file called directly shows what it prints.
php_flag display_errors on
CONF
    } >"$dir/httpd.conf"
}

start_web_server() { # FOLDER URL: runs FOLDER/httpd.conf until URL answers
    # A session of its own: stopping, Apache signals its whole process group.
    setsid /usr/sbin/apache2 -f "$1/httpd.conf" -DFOREGROUND >>"$1/stdout.log" 2>&1 &
    started+=($!)
    for _ in $(seq 100); do
        curl -s -o /dev/null --max-time 5 "$2/" && return 0
        sleep 0.2
    done
    return 1
}

start_site() {
    start_database
    port=$(free_port)
    site=http://127.0.0.1:$port
    plugins_url=$site$plugins_path
    cp -rL "$wordpress" "$site_dir" || abort "WordPress is copied"
    mkdir -p "$plugins_dir"
    write_single_site_config
    wp install "$password" || { show_log "debug log" "$debug_log"; abort "WordPress installs"; }
    write_apache_config "$work/apache" "$site_dir" "$port"
    start_web_server "$work/apache" "$site" || { show_log "Apache" "$work/apache/error.log"; abort "Apache starts on $site"; }
    local status
    status=$(fetch "$site/" "$work/home.html")
    [ "$status" = 200 ] || { show_log "Apache" "$work/apache/error.log"; abort "WordPress answers on $site (got $status)"; }
    pass "WordPress is installed and answers on $site, served by Apache with mod_php"
    echo '<?php echo ini_get( "memory_limit" ), " ", ini_get( "short_open_tag" ), " ", ini_get( "display_errors" );' >"$site_dir/settings.php"
    local settings
    settings=$(curl -sS "$site/settings.php")
    [ "$settings" = "$php_memory_limit 1 1" ]
    verdict "PHP runs with a memory limit of $php_memory_limit, short open tags and errors shown" "got: $settings"
    rm -f "$site_dir/settings.php"
}

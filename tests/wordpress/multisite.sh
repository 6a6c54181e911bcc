# Starts a sub-directory network of sites beside the single site: its own database in the same
# MariaDB, its own Apache, and plugins where WordPress keeps them by default. Ports are allowed
# here, which WordPress's own network setup screen refuses, so the network is made by wp-helper.
# Sourced; needs what site.sh set up, and fills $ms_dir, $ms_port and $ms_site.

ms_dir=$work/network

# ms PATH COMMAND [ARGUMENT]...: runs a step on the site at PATH ("/", "/second/").
ms() {
    local path=$1
    shift
    WP_PATH=$path php "$here/wp-helper.php" "$ms_dir" "127.0.0.1:$ms_port" "$@"
}

start_multisite() {
    sql -e 'CREATE DATABASE network CHARACTER SET utf8mb4 COLLATE utf8mb4_unicode_520_ci' ||
        abort "MariaDB takes the network's database"
    ms_port=$(free_port)
    ms_site=http://127.0.0.1:$ms_port
    cp -rL "$wordpress" "$ms_dir" || abort "WordPress is copied for the network"
    write_wordpress_config "$ms_dir" network "define( 'WP_ALLOW_MULTISITE', true );"
    ms / install "$password" network || { show_log "debug log" "$debug_log"; abort "the network is installed"; }
    write_wordpress_config "$ms_dir" network "define( 'WP_ALLOW_MULTISITE', true );
define( 'MULTISITE', true );
define( 'SUBDOMAIN_INSTALL', false );
define( 'DOMAIN_CURRENT_SITE', '127.0.0.1:$ms_port' );
define( 'PATH_CURRENT_SITE', '/' );
define( 'SITE_ID_CURRENT_SITE', 1 );
define( 'BLOG_ID_CURRENT_SITE', 1 );"
    # What WordPress asks sub-directory networks to put in .htaccess.
    cat >"$ms_dir/.htaccess" <<'HTACCESS'
RewriteEngine On
RewriteRule .* - [E=HTTP_AUTHORIZATION:%{HTTP:Authorization}]
RewriteBase /
RewriteRule ^index\.php$ - [L]
RewriteRule ^([_0-9a-zA-Z-]+/)?wp-admin$ $1wp-admin/ [R=301,L]
RewriteCond %{REQUEST_FILENAME} -f [OR]
RewriteCond %{REQUEST_FILENAME} -d
RewriteRule ^ - [L]
RewriteRule ^([_0-9a-zA-Z-]+/)?(wp-(content|admin|includes).*) $2 [L]
RewriteRule ^([_0-9a-zA-Z-]+/)?(.*\.php)$ $2 [L]
RewriteRule . index.php [L]
HTACCESS
    write_apache_config "$work/apache-network" "$ms_dir" "$ms_port"
    start_web_server "$work/apache-network" "$ms_site" ||
        { show_log "Apache" "$work/apache-network/error.log"; abort "Apache serves the network on $ms_site"; }
    local status home
    status=$(fetch "$ms_site/" "$work/network-home.html")
    home=$(head -c 300 "$work/network-home.html")
    [ "$status" = 200 ]
    verdict "a sub-directory network answers on $ms_site" "got $status: $home"
}

# Starts a third WordPress beside the others, served as many hosts serve it: nginx, which reads
# no .htaccess, with PHP through php-fpm, folders listed, pretty permalinks through try_files and
# static files matched by a regular expression, as speed guides advise. Its own database in the
# same MariaDB; nginx and php-fpm on 127.0.0.1 and a socket, everything they write in $ng_run.
# Sourced; needs what site.sh set up, and fills $ng_dir, $ng_port, $ng_site and $ng_rules (a
# file included in the server block, empty until the test puts rules into it).

ng_dir=$work/nginx-site
ng_run=$work/nginx
ng_rules=$ng_run/site-rules.conf

# ng COMMAND [ARGUMENT]...: runs a step of wp-helper.php on the nginx site.
ng() { php "$here/wp-helper.php" "$ng_dir" "127.0.0.1:$ng_port" "$@"; }

# nginx_ctl [OPTION]...: nginx on the test's configuration, e.g. -t or -s reload.
nginx_ctl() { nginx -c "$ng_run/nginx.conf" -p "$ng_run" -e "$ng_run/error.log" "$@"; }

# reload_nginx: reloads the configuration; returns once only workers that read it are left.
reload_nginx() {
    local master old now
    master=$(cat "$ng_run/nginx.pid")
    old=$(ps -o pid= --ppid "$master")
    nginx_ctl -s reload || return 1
    for _ in $(seq 100); do
        now=$(ps -o pid= --ppid "$master")
        [ -n "$now" ] && ! grep -qFxf <(echo "$old") <<<"$now" && return 0
        sleep 0.1
    done
    return 1
}

write_nginx_config() {
    mkdir -p "$ng_run/temp"
    : >"$ng_rules"
    # No user or group: the test runs as www-data, and php-fpm refuses them then.
    cat >"$ng_run/php-fpm.conf" <<CONF
[global]
pid = $ng_run/php-fpm.pid
error_log = $ng_run/php-fpm.log
[www]
listen = $ng_run/php-fpm.sock
; the plugin's self-test asks the site for a page while a page is being made
pm = static
pm.max_children = 4
catch_workers_output = yes
php_admin_value[memory_limit] = $php_memory_limit
CONF
    cat >"$ng_run/nginx.conf" <<CONF
daemon off;
worker_processes 1;
pid $ng_run/nginx.pid;
error_log $ng_run/error.log warn;
events { worker_connections 64; }
http {
	include /etc/nginx/mime.types;
	default_type application/octet-stream;
	access_log $ng_run/access.log;
	client_body_temp_path $ng_run/temp/body;
	proxy_temp_path $ng_run/temp/proxy;
	fastcgi_temp_path $ng_run/temp/fastcgi;
	uwsgi_temp_path $ng_run/temp/uwsgi;
	scgi_temp_path $ng_run/temp/scgi;
	client_max_body_size 64m;
	server {
		listen 127.0.0.1:$ng_port;
		server_name 127.0.0.1;
		root $ng_dir;
		index index.php index.html;
		autoindex on;
		include $ng_rules;
		location / {
			try_files \$uri \$uri/ /index.php?\$args;
		}
		location ~* \\.(?:css|js|jpe?g|png|gif|svg|pdf|txt|zip)\$ {
			expires 7d;
			try_files \$uri =404;
		}
		location ~ \\.php\$ {
			try_files \$uri =404;
			include /etc/nginx/fastcgi_params;
			# Debian's parameters leave the port out of the host, which WordPress's addresses hold.
			fastcgi_param HTTP_HOST \$host:\$server_port;
			fastcgi_param SCRIPT_FILENAME \$document_root\$fastcgi_script_name;
			fastcgi_pass unix:$ng_run/php-fpm.sock;
		}
	}
}
CONF
}

start_nginx_site() {
    local fpm status
    fpm=$(find /usr/sbin -maxdepth 1 -name 'php-fpm*' | sort | tail -n 1)
    command -v nginx >/dev/null && [ -n "$fpm" ] ||
        abort "nginx and php-fpm are installed (scripts/install-deps.sh)"
    sql -e 'CREATE DATABASE nginx CHARACTER SET utf8mb4 COLLATE utf8mb4_unicode_520_ci' ||
        abort "MariaDB takes the nginx site's database"
    ng_port=$(free_port)
    ng_site=http://127.0.0.1:$ng_port
    cp -rL "$wordpress" "$ng_dir" || abort "WordPress is copied for nginx"
    write_wordpress_config "$ng_dir" nginx "define( 'WP_HOME', '$ng_site' );
define( 'WP_SITEURL', '$ng_site' );"
    ng install "$password" || { show_log "debug log" "$debug_log"; abort "WordPress installs for nginx"; }
    write_nginx_config
    "$fpm" -F -y "$ng_run/php-fpm.conf" >>"$ng_run/php-fpm.log" 2>&1 &
    started+=($!)
    # Not through nginx_ctl: the test stops nginx itself, not a shell around it.
    nginx -c "$ng_run/nginx.conf" -p "$ng_run" -e "$ng_run/error.log" >>"$ng_run/error.log" 2>&1 &
    started+=($!)
    for _ in $(seq 100); do
        [ -S "$ng_run/php-fpm.sock" ] && curl -s -o /dev/null --max-time 5 "$ng_site/" && break
        sleep 0.2
    done
    status=$(fetch "$ng_site/" "$work/nginx-home.html")
    [ "$status" = 200 ] || {
        show_log "nginx" "$ng_run/error.log"
        show_log "php-fpm" "$ng_run/php-fpm.log"
        abort "WordPress answers on $ng_site, served by nginx and php-fpm (got $status)"
    }
    pass "WordPress answers on $ng_site, served by nginx with php-fpm"
}

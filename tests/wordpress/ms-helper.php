<?php
// Runs one step of the WordPress test on a site of the throwaway network, as its super admin;
// steps that are the same as on a single site go to wp-helper.php.
// Usage: php ms-helper.php SITE_DIR HOST:PORT PATH COMMAND [ARGUMENTS]
//   install PASSWORD                 installs the main site and makes it a sub-directory network
//   add-site SLUG                    adds the site SLUG/ and prints its number
//   add-site-admin LOGIN PASSWORD    adds an administrator of the site at PATH only
//   network-activate PLUGIN_FILE
//   network-uninstall PLUGIN_FILE    deactivates the plugin on the network and deletes it
//   anything else                    as wp-helper.php, on the site at PATH
if ( $argc < 5 ) {
	fwrite( STDERR, "usage: php ms-helper.php SITE_DIR HOST:PORT PATH COMMAND [ARGUMENTS]\n" );
	exit( 2 );
}
list( , $site_dir, $host, $path, $command ) = $argv;
$network_commands = array( 'install', 'add-site', 'add-site-admin', 'network-activate', 'network-uninstall' );
if ( ! in_array( $command, $network_commands, true ) ) {
	$argv = array_merge( array( $argv[0], $site_dir, $host ), array_slice( $argv, 4 ) );
	$argc = count( $argv );
	$_SERVER['REQUEST_URI'] = $path;
	require __DIR__ . '/wp-helper.php';
	exit;
}
$args = array_slice( $argv, 5 );

$_SERVER['HTTP_HOST']   = $host;
$_SERVER['SERVER_NAME'] = '127.0.0.1';
$_SERVER['REQUEST_URI'] = $path;

// Declared only on this path: wp-helper.php declares its own.
if ( ! function_exists( 'fail' ) ) {
	function fail( $message ) {
		fwrite( STDERR, $message . "\n" );
		exit( 1 );
	}

	function error_text( $error ) {
		return is_wp_error( $error ) ? implode( '; ', $error->get_error_messages() ) : var_export( $error, true );
	}
}

if ( 'install' === $command ) {
	define( 'WP_INSTALLING', true );
	// No mail server here.
	function wp_new_blog_notification() {}
}
require $site_dir . '/wp-load.php';
require_once ABSPATH . 'wp-admin/includes/admin.php';
require_once ABSPATH . 'wp-admin/includes/upgrade.php';
if ( 'install' !== $command ) {
	wp_set_current_user( 1 );
}

switch ( $command ) {
	case 'install':
		$result = wp_install( 'Ostrel test network', 'admin', 'admin@example.com', true, '', $args[0] );
		if ( is_wp_error( $result ) || empty( $result['user_id'] ) ) {
			fail( 'wp_install failed: ' . error_text( $result ) );
		}
		$GLOBALS['wp_rewrite']->set_permalink_structure( '/%postname%/' );
		// A single site knows no network tables yet.
		foreach ( $GLOBALS['wpdb']->tables( 'ms_global' ) as $table => $prefixed ) {
			$GLOBALS['wpdb']->$table = $prefixed;
		}
		install_network();
		$result = populate_network( 1, $host, 'admin@example.com', 'Ostrel test network', '/', false );
		if ( is_wp_error( $result ) ) {
			fail( 'populate_network failed: ' . error_text( $result ) );
		}
		break;

	case 'add-site':
		$id = wp_insert_site(
			array(
				'domain'  => $host,
				'path'    => '/' . $args[0] . '/',
				'title'   => 'Site ' . $args[0],
				'user_id' => 1,
			)
		);
		if ( is_wp_error( $id ) ) {
			fail( 'adding the site failed: ' . error_text( $id ) );
		}
		// WordPress takes the port's colon out of a new site's addresses; put it back.
		$GLOBALS['wpdb']->update( $GLOBALS['wpdb']->blogs, array( 'domain' => $host ), array( 'blog_id' => $id ) );
		clean_blog_cache( $id );
		foreach ( array( 'home', 'siteurl' ) as $option ) {
			update_blog_option( $id, $option, 'http://' . $host . '/' . $args[0] );
		}
		echo $id, "\n";
		break;

	case 'add-site-admin':
		$user = wpmu_create_user( $args[0], $args[1], $args[0] . '@example.com' );
		if ( ! $user ) {
			fail( 'adding the user failed' );
		}
		$result = add_user_to_blog( get_current_blog_id(), $user, 'administrator' );
		if ( true !== $result ) {
			fail( 'adding the user to the site failed: ' . error_text( $result ) );
		}
		break;

	case 'network-activate':
		$result = activate_plugin( $args[0], '', true );
		if ( null !== $result || ! is_plugin_active_for_network( $args[0] ) ) {
			fail( 'network activation failed: ' . error_text( $result ) );
		}
		break;

	case 'network-uninstall':
		deactivate_plugins( $args[0], false, true );
		$result = delete_plugins( array( $args[0] ) );
		if ( true !== $result ) {
			fail( 'delete_plugins failed: ' . error_text( $result ) );
		}
		break;
}

<?php
// Runs one step of the WordPress test inside the throwaway site, as an administrator.
// Usage: [WP_PATH=/site/] php wp-helper.php SITE_DIR HOST:PORT COMMAND [ARGUMENTS]
// On a network, WP_PATH picks the site; the steps are taken as the network's administrator.
//   install PASSWORD [network]       installs WordPress with pretty permalinks; with "network",
//                                    makes it a sub-directory network
//   add-site SLUG                    adds the network's site SLUG/ and prints its number
//   add-site-admin LOGIN PASSWORD    adds an administrator of the WP_PATH site only
//   network-activate PLUGIN_FILE
//   network-deactivate PLUGIN_FILE
//   network-uninstall PLUGIN_FILE    deactivates the plugin on the network and deletes it
//   install-plugin ZIP [overwrite]   installs a plugin archive with WordPress's own installer,
//                                    over the installed version when asked to
//   plugin-data PLUGIN_FILE          prints the plugin's header fields, one "Key<TAB>Value" a line
//   activate PLUGIN_FILE
//   deactivate PLUGIN_FILE
//   keys PLUGIN_FILE                 prints the plugin's names, its pages' numbers and addresses,
//                                    the files its sales and download pages came from, a
//                                    "page:PATH<TAB>ADDRESS" line for each other page, and its
//                                    private store's folder
//   sign-link PLUGIN_FILE NUMBER EXPIRES
//                                    prints a download link to delivery file NUMBER, signed by
//                                    the plugin itself, that expires at EXPIRES (Unix time)
//   grant PLUGIN_FILE ORDER EMAIL    makes a Stripe grant for ORDER through the plugin's grants
//                                    module and prints the buyer's personal key, sending no mail
//   adjacent POST_ID                 prints the numbers of the posts before and after it
//   add-user LOGIN PASSWORD ROLE
//   add-post LOGIN STATUS FILE       adds a post by LOGIN with FILE's content and prints its number
//   deny-cap LOGIN CAPABILITY        takes the capability from the user, whatever the role gives
//   post-type-label POST_TYPE        prints the post type's plural label
//   set-tags PLUGIN_FILE FRONT BACK  saves the files FRONT and BACK as the plugin's tag HTML
//   get-option NAME
//   set-option NAME [VALUE]          sets the option, not autoloaded, or deletes it without VALUE
//   uninstall PLUGIN_FILE            deactivates and deletes the plugin
//   leftovers TEXT POST_TYPE [ID]…   prints options named with TEXT (or whose value mentions
//                                    POST_TYPE), the tables of the plugin whose identifier is
//                                    TEXT, and posts of POST_TYPE or with the IDs
//   protection PLUGIN_FILE           prints what the plugin's last protection check found:
//                                    status, server, store (1 when served) and files, one
//                                    "key<TAB>value" a line
//   privacy export|erase KEY EMAIL   calls the personal-data exporter or eraser WordPress's
//                                    privacy tools know as KEY, for EMAIL's first page, and
//                                    prints its answer as JSON
if ( $argc < 4 ) {
	fwrite( STDERR, "usage: php wp-helper.php SITE_DIR HOST:PORT COMMAND [ARGUMENTS]\n" );
	exit( 2 );
}
list( , $site_dir, $host, $command ) = $argv;
$args = array_slice( $argv, 4 );

$_SERVER['HTTP_HOST']   = $host;
$_SERVER['SERVER_NAME'] = '127.0.0.1';
$_SERVER['REQUEST_URI'] = getenv( 'WP_PATH' ) ?: '/';

function fail( $message ) {
	fwrite( STDERR, $message . "\n" );
	exit( 1 );
}

function error_text( $error ) {
	return is_wp_error( $error ) ? implode( '; ', $error->get_error_messages() ) : var_export( $error, true );
}

if ( 'install' === $command ) {
	define( 'WP_INSTALLING', true );
	// No mail server here.
	function wp_new_blog_notification() {}
}

require $site_dir . '/wp-load.php';
require_once ABSPATH . 'wp-admin/includes/admin.php';
require_once ABSPATH . 'wp-admin/includes/upgrade.php';
require_once ABSPATH . 'wp-admin/includes/class-wp-upgrader.php';
if ( 'install' !== $command ) {
	wp_set_current_user( 1 );
}

function plugin_keys( $plugin_file ) {
	return require WP_PLUGIN_DIR . '/' . dirname( $plugin_file ) . '/modules/cpt.php';
}

// The start of the names of the plugin's tables, as modules/cpt.php makes them.
function plugin_keys_table_stem( $id ) {
	$slug  = strtolower( $id ) === $id ? $id : strtolower( $id ) . '_' . substr( md5( $id ), 0, 6 );
	$table = preg_replace( '/[^a-z0-9_]/', '_', $slug );
	return 'ostrel_' . ( $table === $slug && strlen( $table ) <= 24 ? $table : substr( $table, 0, 17 ) . '_' . substr( md5( $slug ), 0, 6 ) ) . '_';
}

function plugin_module( $plugin_file, $module, ...$args ) {
	return ( require WP_PLUGIN_DIR . '/' . dirname( $plugin_file ) . "/modules/$module.php" )( ...$args );
}

switch ( $command ) {
	case 'install':
		$result = wp_install( 'Ostrel test site', 'admin', 'admin@example.com', true, '', $args[0] );
		if ( is_wp_error( $result ) || empty( $result['user_id'] ) ) {
			fail( 'wp_install failed: ' . error_text( $result ) );
		}
		$GLOBALS['wp_rewrite']->set_permalink_structure( '/%postname%/' );
		flush_rewrite_rules( false );
		if ( 'network' === ( $args[1] ?? '' ) ) {
			// A single site knows no network tables yet.
			foreach ( $GLOBALS['wpdb']->tables( 'ms_global' ) as $table => $prefixed ) {
				$GLOBALS['wpdb']->$table = $prefixed;
			}
			install_network();
			$result = populate_network( 1, $host, 'admin@example.com', 'Ostrel test network', '/', false );
			if ( is_wp_error( $result ) ) {
				fail( 'populate_network failed: ' . error_text( $result ) );
			}
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

	case 'network-deactivate':
		deactivate_plugins( $args[0], false, true );
		if ( is_plugin_active_for_network( $args[0] ) ) {
			fail( 'still active on the network' );
		}
		break;

	case 'network-uninstall':
		deactivate_plugins( $args[0], false, true );
		$result = delete_plugins( array( $args[0] ) );
		if ( true !== $result ) {
			fail( 'delete_plugins failed: ' . error_text( $result ) );
		}
		break;

	case 'install-plugin':
		$upgrader = new Plugin_Upgrader( new Automatic_Upgrader_Skin() );
		$result   = $upgrader->install( $args[0], array( 'overwrite_package' => 'overwrite' === ( $args[1] ?? '' ) ) );
		if ( true !== $result ) {
			fail( 'install failed: ' . error_text( $result ) . ' ' . implode( ' ', $upgrader->skin->get_upgrade_messages() ) );
		}
		echo $upgrader->plugin_info(), "\n";
		break;

	case 'plugin-data':
		$data = get_plugin_data( WP_PLUGIN_DIR . '/' . $args[0], false, false );
		foreach ( array( 'Name', 'PluginURI', 'Description', 'Version', 'Author', 'AuthorURI' ) as $key ) {
			echo $key, "\t", $data[ $key ], "\n";
		}
		break;

	case 'activate':
		$result = activate_plugin( $args[0] );
		if ( null !== $result ) {
			fail( 'activation failed: ' . error_text( $result ) );
		}
		if ( ! is_plugin_active( $args[0] ) ) {
			fail( 'not active after activation' );
		}
		break;

	case 'deactivate':
		deactivate_plugins( $args[0] );
		if ( is_plugin_active( $args[0] ) ) {
			fail( 'still active after deactivation' );
		}
		break;

	case 'sign-link':
		$keys  = plugin_keys( $args[0] );
		$links = plugin_module( $args[0], 'delivery_links', $keys, plugin_module( $args[0], 'store', $keys ) );
		echo $links->link( (int) $args[1], (int) $args[2] ), "\n";
		break;

	case 'grant':
		$keys = plugin_keys( $args[0] );
		$mail = '';
		// The key goes out only in the buyer's mail: catch it there.
		add_filter(
			'pre_wp_mail',
			static function ( $sent, $atts ) use ( &$mail ) {
				$mail = $atts['message'];
				return true;
			},
			10,
			2
		);
		$made = plugin_module( $args[0], 'grants', $keys )->grant( 'stripe', $args[1], 'pi_' . $args[1], $args[2], 'Product' );
		if ( 'created' !== $made || ! preg_match( '/[?&]' . preg_quote( $keys['grant_arg'], '/' ) . '=([0-9a-f]{64})/', $mail, $m ) ) {
			fail( 'no grant made: ' . var_export( $made, true ) );
		}
		echo $m[1], "\n";
		break;

	case 'adjacent':
		$GLOBALS['post'] = get_post( (int) $args[0] );
		foreach ( array( get_previous_post(), get_next_post() ) as $neighbour ) {
			echo $neighbour ? $neighbour->ID : 0, "\n";
		}
		break;

	case 'add-user':
		$result = wp_insert_user(
			array(
				'user_login' => $args[0],
				'user_pass'  => $args[1],
				'user_email' => $args[0] . '@example.com',
				'role'       => $args[2],
			)
		);
		if ( is_wp_error( $result ) ) {
			fail( 'adding the user failed: ' . error_text( $result ) );
		}
		break;

	case 'add-post':
		$author = get_user_by( 'login', $args[0] );
		$result = $author ? wp_insert_post(
			array(
				'post_author'  => $author->ID,
				'post_status'  => $args[1],
				'post_title'   => 'A post by ' . $args[0],
				'post_content' => file_get_contents( $args[2] ),
			),
			true
		) : new WP_Error( 'user', "no user $args[0]" );
		if ( is_wp_error( $result ) ) {
			fail( 'adding the post failed: ' . error_text( $result ) );
		}
		echo $result, "\n";
		break;

	case 'deny-cap':
		$user = get_user_by( 'login', $args[0] );
		if ( ! $user ) {
			fail( "no user $args[0]" );
		}
		$user->add_cap( $args[1], false );
		break;

	case 'post-type-label':
		$object = get_post_type_object( $args[0] );
		echo $object ? $object->labels->name : '', "\n";
		break;

	case 'keys':
		$keys = plugin_keys( $args[0] );
		foreach ( $keys as $name => $value ) {
			if ( is_string( $value ) ) {
				echo $name, "\t", $value, "\n";
			}
		}
		foreach ( array( 'sales', 'download' ) as $page ) {
			$id = (int) get_option( $keys[ $page . '_option' ] );
			echo $page, "_id\t", $id, "\n";
			echo $page, "_url\t", get_permalink( $id ), "\n";
			echo $page, "_post_type\t", get_post_type( $id ), "\n";
			echo $page, "_name\t", get_post_field( 'post_name', $id ), "\n";
		}
		$site_pages = $keys['site_pages']();
		echo "sales_file\t", $site_pages['sales'], "\n";
		echo "download_file\t", $site_pages['download'], "\n";
		foreach ( array_keys( $site_pages['pages'] ) as $path ) {
			echo 'page:', $path, "\t", $keys['page_url']( $path ), "\n";
		}
		echo "store_dir\t", plugin_module( $args[0], 'store', $keys )->dir(), "\n";
		break;

	case 'set-tags':
		$keys = plugin_keys( $args[0] );
		update_option( $keys['front_option'], file_get_contents( $args[1] ) );
		update_option( $keys['back_option'], file_get_contents( $args[2] ) );
		break;

	case 'get-option':
		echo get_option( $args[0], '' );
		break;

	case 'set-option':
		if ( isset( $args[1] ) ) {
			update_option( $args[0], $args[1], false );
		} else {
			delete_option( $args[0] );
		}
		break;

	case 'uninstall':
		deactivate_plugins( $args[0] );
		if ( is_plugin_active( $args[0] ) ) {
			fail( 'still active after deactivation' );
		}
		$result = delete_plugins( array( $args[0] ) );
		if ( true !== $result ) {
			fail( 'delete_plugins failed: ' . error_text( $result ) );
		}
		break;

	case 'leftovers':
		global $wpdb;
		$text      = '%' . $wpdb->esc_like( $args[0] ) . '%';
		$post_type = '%' . $wpdb->esc_like( $args[1] ) . '%';
		$options   = $wpdb->get_col(
			$wpdb->prepare( "SELECT option_name FROM {$wpdb->options} WHERE option_name LIKE %s OR option_value LIKE %s", $text, $post_type )
		);
		foreach ( $options as $name ) {
			echo "option\t", $name, "\n";
		}
		$tables = $wpdb->get_col( $wpdb->prepare( 'SHOW TABLES LIKE %s', '%' . $wpdb->esc_like( plugin_keys_table_stem( $args[0] ) ) . '%' ) );
		foreach ( $tables as $name ) {
			echo "table\t", $name, "\n";
		}
		$ids   = array_map( 'intval', array_slice( $args, 2 ) );
		$ids[] = -1; // keeps IN () valid when no numbers are given
		$in    = implode( ',', $ids );
		$posts = $wpdb->get_col(
			$wpdb->prepare( "SELECT ID FROM {$wpdb->posts} WHERE post_type = %s OR ID IN ($in) OR post_parent IN ($in)", $args[1] )
		);
		foreach ( $posts as $id ) {
			echo "post\t", $id, "\n";
		}
		$meta = $wpdb->get_col( "SELECT meta_id FROM {$wpdb->postmeta} WHERE post_id IN ($in)" );
		foreach ( $meta as $id ) {
			echo "postmeta\t", $id, "\n";
		}
		break;

	case 'protection':
		$keys   = plugin_keys( $args[0] );
		$result = is_multisite() ? get_site_option( $keys['protection_option'] ) : get_option( $keys['protection_option'] );
		foreach ( array( 'status', 'server', 'store', 'files' ) as $key ) {
			$value = is_array( $result ) && isset( $result[ $key ] ) ? $result[ $key ] : '';
			$value = is_array( $value ) ? implode( ' | ', $value ) : ( is_bool( $value ) ? (int) $value : $value );
			echo $key, "\t", $value, "\n";
		}
		break;

	case 'privacy':
		$tools = apply_filters( 'export' === $args[0] ? 'wp_privacy_personal_data_exporters' : 'wp_privacy_personal_data_erasers', array() );
		if ( ! isset( $tools[ $args[1] ]['callback'] ) ) {
			fail( "no $args[0] tool $args[1], only: " . implode( ', ', array_keys( $tools ) ) );
		}
		echo wp_json_encode( call_user_func( $tools[ $args[1] ]['callback'], $args[2], 1 ) ), "\n";
		break;

	default:
		fail( "unknown command $command" );
}

<?php
defined( 'ABSPATH' ) || exit;

// The names this plugin keeps its things under, all made from its identifier so several
// Ostrel plugins can run side by side. Files needing them require this file (require_once
// would hand back true the second time).
return ( static function ( $id ) {
	$slug = strtolower( $id );
	if ( $slug !== $id ) {
		// Keys are lower case; the hash keeps identifiers differing only in case apart.
		$slug .= '_' . substr( md5( $id ), 0, 6 );
	}

	// WordPress allows post type keys of at most 20 characters.
	$post_type = 'ostrel_' . $slug;
	if ( strlen( $post_type ) > 20 ) {
		$post_type = 'ost_' . substr( $slug, 0, 7 ) . '_' . substr( md5( $id ), 0, 8 );
	}

	$option       = 'ostrel_' . $slug . '_';
	// Table names past the site's prefix: letters, digits and '_' only, so no statement needs
	// them quoted, within MySQL's 64 characters; the hash keeps slugs so changed apart.
	$table = preg_replace( '/[^a-z0-9_]/', '_', $slug );
	$table = 'ostrel_' . ( $table === $slug && strlen( $table ) <= 24 ? $table : substr( $table, 0, 17 ) . '_' . substr( md5( $slug ), 0, 6 ) );
	$pages_option = $option . 'site_pages';
	$pages_lock   = $option . 'site_pages_lock';

	// The site's pages as the build listed them, by path relative to modules/template: the sales
	// and download pages' files, and the converted file of each other page. A plugin built
	// before other pages came along has no list: no other pages.
	$listed     = null;
	$site_pages = static function () use ( &$listed ) {
		if ( null !== $listed ) {
			return $listed;
		}
		$file   = __DIR__ . '/site_pages.php';
		$list   = is_file( $file ) ? require $file : array();
		$list   = is_array( $list ) ? $list : array();
		$listed = array(
			'sales'    => isset( $list['sales'] ) && is_string( $list['sales'] ) ? $list['sales'] : '',
			'download' => isset( $list['download'] ) && is_string( $list['download'] ) ? $list['download'] : '',
			'pages'    => array(),
		);
		// Only converted pages are ever included, whatever else the list may name.
		foreach ( isset( $list['pages'] ) ? (array) $list['pages'] : array() as $path => $converted ) {
			if ( '' !== (string) $path && is_string( $converted ) && preg_match( '/^converted_page_\d+\.php$/', $converted ) ) {
				$listed['pages'][ $path ] = $converted;
			}
		}
		return $listed;
	};

	// The other pages' posts by path; autoloaded, as every request looks at it.
	$page_posts = static function () use ( $pages_option ) {
		$posts = get_option( $pages_option, array() );
		return is_array( $posts ) ? array_map( 'intval', $posts ) : array();
	};

	// Posts for the other pages that have none yet; existing ones keep their addresses, which
	// may have been handed out. One request at a time: the first visitors after an update would
	// otherwise each make a post per page.
	$create_site_pages = static function () use ( $site_pages, $pages_option, $pages_lock, $post_type ) {
		global $wpdb;
		$listed = $site_pages()['pages'];
		if ( ! $listed ) {
			return;
		}
		// A lock row that INSERT IGNORE makes for one request only; add_option() would ask the
		// cache first and cannot tell who won.
		// phpcs:ignore WordPress.DB.DirectDatabaseQuery.DirectQuery, WordPress.DB.DirectDatabaseQuery.NoCaching -- an atomic lock, see above
		$claimed = $wpdb->query(
			$wpdb->prepare( "INSERT IGNORE INTO {$wpdb->options} (option_name, option_value, autoload) VALUES (%s, %s, 'no')", $pages_lock, time() )
		);
		$stored  = static function ( $name ) use ( $wpdb ) {
			// phpcs:ignore WordPress.DB.DirectDatabaseQuery.DirectQuery, WordPress.DB.DirectDatabaseQuery.NoCaching -- from the table, as another request may have just written it
			return $wpdb->get_var( $wpdb->prepare( "SELECT option_value FROM {$wpdb->options} WHERE option_name = %s", $name ) );
		};
		if ( ! $claimed ) {
			// A request that died holding the lock must not keep the pages away for good.
			if ( (int) $stored( $pages_lock ) < time() - MINUTE_IN_SECONDS ) {
				$wpdb->delete( $wpdb->options, array( 'option_name' => $pages_lock ) ); // phpcs:ignore WordPress.DB.DirectDatabaseQuery.DirectQuery, WordPress.DB.DirectDatabaseQuery.NoCaching -- the lock row above, never cached
			}
			return;
		}
		// From the table, not the cache: another request may have made them meanwhile.
		$posts  = maybe_unserialize( $stored( $pages_option ) );
		$posts  = is_array( $posts ) ? $posts : array();
		$before = $posts;
		foreach ( array_keys( $listed ) as $path ) {
			$existing = isset( $posts[ $path ] ) ? get_post( (int) $posts[ $path ] ) : null;
			if ( $existing && $post_type === $existing->post_type ) {
				continue;
			}
			$title   = wp_basename( (string) $path );
			$name    = sanitize_title( preg_replace( '/\.[^.]*$/', '', $title ) );
			$post_id = wp_insert_post(
				array(
					'post_type'      => $post_type,
					'post_status'    => 'publish',
					'post_title'     => $title,
					'post_name'      => '' === $name ? 'page' : $name,
					'comment_status' => 'closed',
					'ping_status'    => 'closed',
				),
				true
			);
			if ( ! is_wp_error( $post_id ) ) {
				$posts[ $path ] = $post_id;
			}
		}
		if ( $posts !== $before ) {
			update_option( $pages_option, $posts, true );
		}
		$wpdb->delete( $wpdb->options, array( 'option_name' => $pages_lock ) ); // phpcs:ignore WordPress.DB.DirectDatabaseQuery.DirectQuery, WordPress.DB.DirectDatabaseQuery.NoCaching -- the lock row above, never cached
	};

	// Who owns the plugin's pages, settings and addresses: the site's administrators, or on a
	// network the plugin is active on as a whole, the network's administrators alone.
	$owner_cap = static function () {
		if ( ! is_multisite() ) {
			return 'manage_options';
		}
		$network = (array) get_site_option( 'active_sitewide_plugins', array() );
		return isset( $network[ plugin_basename( dirname( __DIR__ ) . '/plugin.php' ) ] ) ? 'manage_network_options' : 'manage_options';
	};

	return array(
		'id'              => $id,
		'slug'            => $slug,
		'post_type'       => $post_type,
		'menu_slug'       => 'ostrel-' . $slug,
		'option_group'    => 'ostrel_' . $slug,
		'front_option'    => $option . 'front_tag',
		'back_option'     => $option . 'back_tag',
		'sales_option'    => $option . 'sales_page',
		'download_option' => $option . 'download_page',
		// Protected delivery: the key that signs download links, the private store's folder,
		// how long links live, the download counts, and what could not be made private.
		'secret_option'   => $option . 'link_secret',
		'store_option'    => $option . 'store',
		'lifetime_option' => $option . 'link_lifetime',
		'counts_option'   => $option . 'downloads',
		'problems_option' => $option . 'store_problems',
		// What the last check of the server's protection found, and when it ran.
		'protection_option' => $option . 'protection',
		// Set on activation, until the notice leading to the plugin's page has been shown.
		'welcome_option'  => $option . 'welcome',
		// The other pages' posts, and the lock held while they are made.
		'pages_option'    => $pages_option,
		'pages_lock'      => $pages_lock,
		// Who gets the product, and the buyers' grants: the seller's terms, the buyer's mail, the
		// payment provider's secret and last notification, the key that hashes order ids and
		// e-mail addresses, and the version of the grants' tables.
		'access_option'       => $option . 'access',
		'grant_days_option'   => $option . 'grant_days',
		'grant_limit_option'  => $option . 'grant_limit',
		'mail_subject_option' => $option . 'mail_subject',
		'mail_body_option'    => $option . 'mail_body',
		'stripe_secret_option' => $option . 'stripe_secret',
		'stripe_last_option'  => $option . 'stripe_last',
		'grants_key_option'   => $option . 'grants_key',
		'grants_schema_option' => $option . 'grants_schema',
		'grants_table'        => $table . '_grants',
		'grant_files_table'   => $table . '_grant_files',
		'events_table'        => $table . '_events',
		'grant_arg'           => 'ostrel_' . $slug . '_key',
		'grant_cookie'        => 'ostrel_' . $slug . '_key',
		'rest_namespace'      => 'ostrel-' . $slug . '/v1',
		// Transients counting requests for a new personal link, named after keyed hashes.
		'resend_transient'           => $option . 'resend_',
		// PayPal's and Lemon Squeezy's notifications: the seller's PayPal address, whether it is
		// PayPal's sandbox, the price and currency a payment must reach, the webhook's secret, and
		// when the last genuine notification of each arrived.
		'paypal_email_option'        => $option . 'paypal_email',
		'paypal_sandbox_option'      => $option . 'paypal_sandbox',
		'paypal_price_option'        => $option . 'paypal_price',
		'paypal_currency_option'     => $option . 'paypal_currency',
		'paypal_last_option'         => $option . 'paypal_last',
		'lemonsqueezy_secret_option' => $option . 'lemonsqueezy_secret',
		'lemonsqueezy_last_option'   => $option . 'lemonsqueezy_last',
		'store_parent'    => 'ostrel-' . $slug,
		'download_arg'    => 'ostrel_' . $slug . '_file',

		// Labelled with the plugin's name, which is what the seller calls the product.
		'register_post_type' => static function ( $name ) use ( $post_type, $slug, $owner_cap ) {
			// The pages belong to their owner alone: no other role may list, edit, rename, trash
			// or preview them, by any route, and nobody makes new ones but the plugin.
			$owner        = $owner_cap();
			$capabilities = array_fill_keys(
				array( 'edit_posts', 'edit_others_posts', 'edit_private_posts', 'edit_published_posts', 'publish_posts', 'read_private_posts', 'delete_posts', 'delete_private_posts', 'delete_published_posts', 'delete_others_posts' ),
				$owner
			);
			// WordPress maps editing, reading and deleting one page to these; reading a published
			// page stays open to all, as the sales page must be.
			$capabilities['read']         = 'read';
			$capabilities['create_posts'] = 'do_not_allow';
			register_post_type(
				$post_type,
				array(
					'labels'              => array(
						'name'          => $name,
						'singular_name' => $name,
					),
					'public'              => true,
					'capability_type'     => $post_type,
					'capabilities'        => $capabilities,
					'map_meta_cap'        => true,
					// The pages are the plugin's output, managed from its menu, and the
					// download page must not turn up in searches, menus or the REST API.
					'show_ui'             => false,
					'show_in_nav_menus'   => false,
					'show_in_rest'        => false,
					'exclude_from_search' => true,
					'has_archive'         => false,
					'supports'            => array( 'title' ),
					'rewrite'             => array(
						'slug'       => $slug,
						'with_front' => false,
						'feeds'      => false,
						'pages'      => false,
					),
				)
			);
		},

		// Creates whichever of the pages is missing; existing ones keep their addresses, which
		// the site owner has handed out.
		'create_pages'       => static function ( $title ) use ( $post_type, $option, $create_site_pages ) {
			$pages = array(
				'sales_page'    => array( $title, sanitize_title( $title ) ),
				/* translators: %s: the plugin's name. */
				'download_page' => array( sprintf( __( '%s – download', '#prefix#' ), $title ), strtolower( wp_generate_password( 20, false ) ) ),
			);
			foreach ( $pages as $role => $page ) {
				$existing = get_post( (int) get_option( $option . $role ) );
				if ( $existing && $post_type === $existing->post_type ) {
					continue;
				}
				$post_id = wp_insert_post(
					array(
						'post_type'      => $post_type,
						'post_status'    => 'publish',
						'post_title'     => $page[0],
						'post_name'      => '' === $page[1] ? 'sales' : $page[1],
						'comment_status' => 'closed',
						'ping_status'    => 'closed',
					),
					true
				);
				if ( ! is_wp_error( $post_id ) ) {
					update_option( $option . $role, $post_id );
				}
			}
			$create_site_pages();
		},

		// A newer version uploaded over the active plugin runs no activation: its new pages get
		// their posts on the next request. Nothing but a look at an autoloaded option otherwise.
		'add_new_pages'      => static function () use ( $site_pages, $page_posts, $create_site_pages ) {
			if ( array_diff_key( $site_pages()['pages'], $page_posts() ) ) {
				$create_site_pages();
			}
		},

		'site_pages'         => $site_pages,

		// The path of the other page a post was made for, or ''.
		'page_path'          => static function ( $post_id ) use ( $page_posts ) {
			$path = array_search( (int) $post_id, $page_posts(), true );
			return false === $path ? '' : (string) $path;
		},

		// The address of the plugin's post made from the page at a path, or '' when there is
		// none; converted pages link each other through it.
		'page_url'           => static function ( $path ) use ( $site_pages, $page_posts, $option, $post_type ) {
			$listed = $site_pages();
			$path   = (string) $path;
			$id     = 0;
			if ( '' === $path ) {
				return '';
			}
			if ( $listed['sales'] === $path ) {
				$id = (int) get_option( $option . 'sales_page' );
			} elseif ( $listed['download'] === $path ) {
				$id = (int) get_option( $option . 'download_page' );
			} elseif ( isset( $listed['pages'][ $path ] ) ) {
				$posts = $page_posts();
				$id    = isset( $posts[ $path ] ) ? $posts[ $path ] : 0;
			}
			$url = $id && get_post_type( $id ) === $post_type ? get_permalink( $id ) : '';
			return is_string( $url ) ? $url : '';
		},

		'owner_cap'          => $owner_cap,

		// Runs the callback for this site, or on a network for each of its sites in turn.
		'for_each_site'      => static function ( callable $callback ) {
			if ( ! is_multisite() ) {
				$callback();
				return;
			}
			foreach ( get_sites( array( 'fields' => 'ids', 'number' => 0 ) ) as $site_id ) {
				switch_to_blog( $site_id );
				$callback();
				restore_current_blog();
			}
		},
	);
} )( '#prefix#' );

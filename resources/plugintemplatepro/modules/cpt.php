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

	$option = 'ostrel_' . $slug . '_';

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
		// Set on activation, until the notice leading to the plugin's page has been shown.
		'welcome_option'  => $option . 'welcome',
		'store_parent'    => 'ostrel-' . $slug,
		'download_arg'    => 'ostrel_' . $slug . '_file',

		// Labelled with the plugin's name, which is what the seller calls the product.
		'register_post_type' => static function ( $name ) use ( $post_type, $slug ) {
			register_post_type(
				$post_type,
				array(
					'labels'              => array(
						'name'          => $name,
						'singular_name' => $name,
					),
					'public'              => true,
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

		// Creates whichever of the two pages is missing; existing ones keep their addresses,
		// which the site owner has handed out.
		'create_pages'       => static function ( $title ) use ( $post_type, $option ) {
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
		},

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

<?php
defined( 'ABSPATH' ) || exit;

// One of the site's other pages is the whole response. A closure keeps its variables out of the
// global scope.
( static function () {
	$ostrel = require dirname( __DIR__ ) . '/cpt.php';
	$pages  = $ostrel['site_pages']()['pages'];
	$path   = $ostrel['page_path']( get_queried_object_id() );
	$file   = isset( $pages[ $path ] ) ? __DIR__ . '/' . $pages[ $path ] : '';
	if ( '' === $file || ! is_file( $file ) ) {
		// A page a newer version left out. Its post stays, so the address returns with the page.
		global $wp_query;
		$wp_query->set_404();
		status_header( 404 );
		nocache_headers();
		$template = get_404_template();
		$template = $template ? $template : get_index_template();
		if ( $template ) {
			load_template( $template );
		}
		return;
	}
	// As on the sales page: the buy button, or the site owner's note where none is pasted yet.
	$front_tag = (string) apply_filters( 'ostrel_' . $ostrel['slug'] . '_front_tag', (string) get_option( $ostrel['front_option'], '' ) );
	$page_url  = $ostrel['page_url'];
	include $file;
} )();

<?php
defined( 'ABSPATH' ) || exit;

// The sales page is the whole response. A closure keeps its variables out of the global scope.
( static function () {
	$ostrel    = require dirname( __DIR__ ) . '/cpt.php';
	// The plugin's loader puts a note for the site owner where no buy button has been pasted yet.
	$front_tag = (string) apply_filters( 'ostrel_' . $ostrel['slug'] . '_front_tag', (string) get_option( $ostrel['front_option'], '' ) );
	// Links to the site's other pages lead to their posts.
	$page_url  = $ostrel['page_url'];
	include __DIR__ . '/converted_index.php';
} )();

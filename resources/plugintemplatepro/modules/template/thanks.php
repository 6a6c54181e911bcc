<?php
defined( 'ABSPATH' ) || exit;

// The download page is the whole response. A closure keeps its variables out of the global scope.
( static function () {
	$ostrel   = require dirname( __DIR__ ) . '/cpt.php';
	$back_tag = (string) get_option( $ostrel['back_option'], '' );
	$page_url = $ostrel['page_url'];
	$links    = ( require dirname( __DIR__ ) . '/delivery_links.php' )( $ostrel, ( require dirname( __DIR__ ) . '/store.php' )( $ostrel ) );
	if ( ! headers_sent() ) {
		// Its address is the key to the download: keep it out of search engines, caches and the
		// Referer sent to other sites.
		header( 'X-Robots-Tag: noindex, nofollow' );
		header( 'Cache-Control: private, no-store' );
		header( 'Referrer-Policy: same-origin' );
	}
	// For verified buyers only: whoever holds no grant gets a page saying how to get access,
	// and the links are signed for the visitor's grant.
	$grant = $links->grants()->buyers_only() ? $links->grants()->download_gate() : '';
	// The page on disk stays as built; buyers get fresh expiring links to the product's files.
	ob_start();
	include __DIR__ . '/converted_download.php';
	echo $links->rewrite( (string) ob_get_clean(), $grant ); // phpcs:ignore WordPress.Security.EscapeOutput -- the seller's page
} )();

<?php
defined( 'ABSPATH' ) || exit;

// The download page is the whole response. A closure keeps its variables out of the global scope.
( static function () {
	$ostrel   = require dirname( __DIR__ ) . '/cpt.php';
	$back_tag = (string) get_option( $ostrel['back_option'], '' );
	if ( ! headers_sent() ) {
		// Its address is the only key to the download: keep it out of search engines and out
		// of the Referer sent to other sites.
		header( 'X-Robots-Tag: noindex, nofollow' );
		header( 'Referrer-Policy: same-origin' );
	}
	include __DIR__ . '/converted_download.php';
} )();

<?php
defined( 'ABSPATH' ) || exit;

// The sales page is the whole response. A closure keeps its variables out of the global scope.
( static function () {
	$ostrel    = require dirname( __DIR__ ) . '/cpt.php';
	$front_tag = (string) get_option( $ostrel['front_option'], '' );
	include __DIR__ . '/converted_index.php';
} )();

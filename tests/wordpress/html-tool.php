<?php
// Reads HTML for the WordPress test.
//   php html-tool.php xpath FILE EXPRESSION          prints the text of every match, one a line
//   php html-tool.php refs FILE                      prints every address the page loads or
//                                                     follows, as the browser reads it, one a line
//   php html-tool.php form FILE ACTION [NAME=VALUE]…  prints the url-encoded body of the form
//                                                     whose action ends with ACTION, with its
//                                                     hidden fields and the given values;
//                                                     ACTION@NAME picks, of several such forms,
//                                                     the one whose hidden "action" is NAME;
//                                                     ACTION@NAME@FIELD=VALUE… also wants the
//                                                     hidden FIELD to be VALUE
libxml_use_internal_errors( true );

function load_html( $file ) {
	$document = new DOMDocument();
	$document->loadHTML( '<?xml encoding="UTF-8">' . file_get_contents( $file ) );
	return new DOMXPath( $document );
}

$command = isset( $argv[1] ) ? $argv[1] : '';
if ( 'xpath' === $command && 4 === $argc ) {
	foreach ( load_html( $argv[2] )->query( $argv[3] ) as $node ) {
		echo $node->textContent, "\n";
	}
	exit( 0 );
}
if ( 'refs' === $command && 3 === $argc ) {
	$xpath = load_html( $argv[2] );
	$refs  = array();
	foreach ( $xpath->query( '//*[not(self::base)]/@href|//@src|//@poster|//@action|//@data|//@background|//@data-src|//@data-bg|//@data-background|//meta[@property="og:image"]/@content' ) as $node ) {
		$refs[] = trim( $node->value );
	}
	foreach ( $xpath->query( '//@srcset|//@imagesrcset|//@data-srcset' ) as $node ) {
		foreach ( explode( ',', $node->value ) as $candidate ) {
			$refs[] = preg_split( '/\s+/', trim( $candidate ) )[0];
		}
	}
	foreach ( $xpath->query( '//@style|//style' ) as $node ) {
		preg_match_all( '/url\(\s*([\'"]?)(.*?)\1\s*\)|@import\s+([\'"])(.*?)\3/s', $node->textContent, $matches, PREG_SET_ORDER );
		foreach ( $matches as $match ) {
			$refs[] = isset( $match[4] ) ? $match[4] : $match[2];
		}
	}
	echo $refs ? implode( "\n", $refs ) . "\n" : '';
	exit( 0 );
}
if ( 'form' === $command && $argc >= 4 ) {
	$xpath = load_html( $argv[2] );
	$hidden = explode( '@', $argv[3] );
	$wanted = array_shift( $hidden );
	$hidden = $hidden ? array_merge( array( 'action=' . array_shift( $hidden ) ), $hidden ) : array();
	foreach ( $xpath->query( '//form' ) as $form ) {
		$action = $form->getAttribute( 'action' );
		if ( substr( $action, -strlen( $wanted ) ) !== $wanted ) {
			continue;
		}
		foreach ( $hidden as $pair ) {
			list( $name, $value ) = array_pad( explode( '=', $pair, 2 ), 2, '' );
			if ( 0 === $xpath->query( './/input[@name="' . $name . '"][@value="' . $value . '"]', $form )->length ) {
				continue 2;
			}
		}
		$fields = array();
		foreach ( $xpath->query( './/input[@type="hidden"]', $form ) as $input ) {
			$fields[ $input->getAttribute( 'name' ) ] = $input->getAttribute( 'value' );
		}
		foreach ( array_slice( $argv, 4 ) as $pair ) {
			list( $name, $value ) = explode( '=', $pair, 2 );
			$fields[ $name ] = $value;
		}
		echo http_build_query( $fields );
		exit( 0 );
	}
	fwrite( STDERR, "no form with action $argv[3]\n" );
	exit( 1 );
}
fwrite( STDERR, "usage: php html-tool.php xpath FILE EXPRESSION | refs FILE | form FILE ACTION [NAME=VALUE]...\n" );
exit( 2 );

<?php
// Renders a converted page the way the plugin should serve it, without WordPress, so the
// served page can be compared byte for byte.
// Usage: php render-page.php <converted page> <front_tag|back_tag> <file with the tag's HTML> <site address>
if ( 5 !== $argc ) {
	fwrite( STDERR, "usage: php render-page.php PAGE VARIABLE HTML_FILE SITE\n" );
	exit( 2 );
}
$site = $argv[4];
function bloginfo( $show ) {
	global $site;
	if ( 'wpurl' !== $show ) {
		throw new RuntimeException( "unexpected bloginfo('$show')" );
	}
	echo $site;
}
${$argv[2]} = file_get_contents( $argv[3] );
include $argv[1];

<?php
// Renders a converted page the way the plugin should serve it, without WordPress, so the
// served page can be compared byte for byte.
// Usage: php render-page.php <converted page> <front_tag|back_tag> <file with the tag's HTML> <plugins folder> <plugins address>
if ( 6 !== $argc ) {
	fwrite( STDERR, "usage: php render-page.php PAGE VARIABLE HTML_FILE PLUGINS_DIR PLUGINS_URL\n" );
	exit( 2 );
}
define( 'ABSPATH', '/' );
$plugins = array( rtrim( realpath( $argv[4] ), '/' ), rtrim( $argv[5], '/' ) );
// As WordPress answers for a file of a plugin in its plugins folder.
function plugins_url( $path, $file ) {
	global $plugins;
	$folder = dirname( substr( $file, strlen( $plugins[0] ) + 1 ) );
	return $plugins[1] . '/' . $folder . '/' . ltrim( $path, '/' );
}
function esc_url( $url ) {
	return $url;
}
${$argv[2]} = file_get_contents( $argv[3] );
include $argv[1];

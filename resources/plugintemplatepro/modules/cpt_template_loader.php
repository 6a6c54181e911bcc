<?php
defined( 'ABSPATH' ) || exit;

add_filter(
	'template_include',
	function ( $template ) {
		if ( is_singular( strtolower( substr( 'ostrel_#prefix#', 0, 20 ) ) ) ) {
			$slug = get_post_field( 'post_name', get_queried_object_id() );
			return __DIR__ . '/template/' . ( 'download' === $slug ? 'thanks.php' : 'template.php' );
		}
		return $template;
	}
);

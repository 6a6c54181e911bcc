<?php
defined( 'ABSPATH' ) || exit;

add_action(
	'init',
	function () {
		register_post_type(
			strtolower( substr( 'ostrel_#prefix#', 0, 20 ) ),
			array(
				'public'  => true,
				'label'   => 'Product pages',
				'rewrite' => array( 'slug' => 'ostrel-#prefix#' ),
			)
		);
	}
);

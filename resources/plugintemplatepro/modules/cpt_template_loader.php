<?php
defined( 'ABSPATH' ) || exit;

// Serves the plugin's pages with the converted pages instead of the theme, and keeps the
// download page reachable only through its random address.
return static function ( array $ostrel ) {
	$download_id = static function () use ( $ostrel ) {
		return (int) get_option( $ostrel['download_option'] );
	};

	add_filter(
		'template_include',
		static function ( $template ) use ( $ostrel, $download_id ) {
			if ( ! is_singular( $ostrel['post_type'] ) ) {
				return $template;
			}
			$page = get_queried_object_id() === $download_id() ? 'thanks.php' : 'template.php';
			$file = __DIR__ . '/template/' . $page;
			return is_file( $file ) ? $file : $template;
		},
		// Late, so the plugin's own pages win over other template filters.
		99
	);

	// Asked for by number rather than by its name, the download page does not exist.
	add_action(
		'template_redirect',
		static function () use ( $ostrel, $download_id ) {
			$id = $download_id();
			if ( $id && is_singular( $ostrel['post_type'] ) && get_queried_object_id() === $id
				&& '' === (string) get_query_var( 'name' ) ) {
				global $wp_query;
				$wp_query->set_404();
				status_header( 404 );
				nocache_headers();
			}
		},
		1
	);

	// WordPress would otherwise redirect ?p=<number> to the page's address.
	add_filter(
		'redirect_canonical',
		static function ( $redirect_url, $requested_url ) use ( $download_id ) {
			$id = $download_id();
			if ( ! $id || ! is_string( $redirect_url ) ) {
				return $redirect_url;
			}
			$secret = (string) get_post_field( 'post_name', $id );
			if ( '' !== $secret && false !== strpos( $redirect_url, $secret )
				&& false === strpos( (string) $requested_url, $secret ) ) {
				return false;
			}
			return $redirect_url;
		},
		10,
		2
	);

	// Lists (?post_type=…, feeds) leave the download page out; only its name finds it.
	add_action(
		'pre_get_posts',
		static function ( $query ) use ( $download_id ) {
			$id = $download_id();
			if ( ! $id || is_admin() || ! $query->is_main_query() || '' !== (string) $query->get( 'name' ) ) {
				return;
			}
			$excluded   = array_map( 'intval', (array) $query->get( 'post__not_in' ) );
			$excluded[] = $id;
			$query->set( 'post__not_in', $excluded );
		}
	);

	add_filter(
		'wp_sitemaps_posts_query_args',
		static function ( $args, $post_type ) use ( $ostrel, $download_id ) {
			if ( $ostrel['post_type'] === $post_type && $download_id() ) {
				$args['post__not_in']   = isset( $args['post__not_in'] ) ? (array) $args['post__not_in'] : array();
				$args['post__not_in'][] = $download_id();
			}
			return $args;
		},
		10,
		2
	);
};

<?php
defined( 'ABSPATH' ) || exit;

// Serves the plugin's pages with the converted pages instead of the theme, and keeps the
// download page reachable only through its random address: nothing WordPress offers to find
// posts by (numbers, oEmbed, the editor's link search, shortlinks, neighbouring posts, lists,
// feeds, sitemaps, old addresses) names it, whoever asks.
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
			$id = get_queried_object_id();
			if ( $id === $download_id() ) {
				$page = 'thanks.php';
			} elseif ( '' !== $ostrel['page_path']( $id ) ) {
				$page = 'page.php';
			} else {
				$page = 'template.php';
			}
			$file = __DIR__ . '/template/' . $page;
			return is_file( $file ) ? $file : $template;
		},
		// Late, so the plugin's own pages win over other template filters.
		99
	);

	// Until a buy button is pasted, the site owner sees where it goes and where to paste it;
	// visitors see nothing there.
	add_filter(
		'ostrel_' . $ostrel['slug'] . '_front_tag',
		static function ( $html ) use ( $ostrel ) {
			if ( '' !== trim( (string) $html ) || ! current_user_can( $ostrel['owner_cap']() ) ) {
				return $html;
			}
			$link = '<a href="' . esc_url( admin_url( 'admin.php?page=' . $ostrel['menu_slug'] ) ) . '">' . esc_html( $ostrel['name'] ) . '</a>';
			return '<div class="ostrel-placeholder" style="margin:1em 0;padding:1em;border:2px dashed #d63638;background:#fff;color:#1d2327;font:16px/1.5 sans-serif;text-align:left">'
				. '<strong>' . esc_html__( 'Your buy button goes here.', '#prefix#' ) . '</strong> '
				. sprintf(
					/* translators: 1: a link to the plugin's page, named after the plugin, 2: the name of the field there. */
					esc_html__( 'Paste its HTML on the %1$s page of your dashboard, into "%2$s". Only you see this note; visitors see nothing here until then.', '#prefix#' ),
					$link,
					esc_html__( 'Sales page: buy button or sign-up form', '#prefix#' )
				)
				. '</div>';
		}
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

	// Every query leaves the download page out, whoever runs it and wherever (lists, feeds, Query
	// Loop and other blocks, widgets, XML-RPC, admin screens): only the request naming its exact
	// address finds it.
	add_action(
		'pre_get_posts',
		static function ( $query ) use ( $download_id ) {
			$id = $download_id();
			if ( ! $id ) {
				return;
			}
			if ( $query->is_main_query() && ! is_admin()
				&& (string) get_post_field( 'post_name', $id ) === (string) $query->get( 'name' ) ) {
				return;
			}
			$excluded   = array_map( 'intval', (array) $query->get( 'post__not_in' ) );
			$excluded[] = $id;
			$query->set( 'post__not_in', $excluded );
		}
	);

	// Its address is printed for the owner, and on the download page itself; anywhere else
	// (sample permalinks, previews, a block listing the post type) it is the home page's.
	$may_see_download = static function () use ( $ostrel, $download_id ) {
		return current_user_can( $ostrel['owner_cap']() )
			|| ( did_action( 'wp' ) && is_singular( $ostrel['post_type'] ) && get_queried_object_id() === $download_id() )
			// A verified buyer's personal link, as it is mailed.
			|| ( isset( $ostrel['grants'] ) && $ostrel['grants']->linking() );
	};
	add_filter(
		'post_type_link',
		static function ( $link, $post ) use ( $download_id, $may_see_download ) {
			if ( $post instanceof WP_Post && $post->ID === $download_id() && ! $may_see_download() ) {
				return home_url( '/' );
			}
			return $link;
		},
		99,
		2
	);
	// The editor's sample permalink names the page's slug apart from its address.
	add_filter(
		'get_sample_permalink',
		static function ( $permalink, $post_id ) use ( $download_id, $may_see_download ) {
			if ( (int) $post_id === $download_id() && ! $may_see_download() ) {
				return array( home_url( '/' ), '' );
			}
			return $permalink;
		},
		99,
		2
	);

	add_filter(
		'wp_sitemaps_posts_query_args',
		static function ( $args, $post_type ) use ( $ostrel, $download_id ) {
			if ( $ostrel['post_type'] === $post_type && $download_id() ) {
				// phpcs:ignore WordPressVIPMinimum.Performance.WPQueryParams.PostNotIn_post__not_in -- one post, the download page, which no list may name
				$args['post__not_in']   = isset( $args['post__not_in'] ) ? (array) $args['post__not_in'] : array();
				$args['post__not_in'][] = $download_id();
			}
			return $args;
		},
		10,
		2
	);

	$is_download = static function ( $post ) use ( $download_id ) {
		$id = $download_id();
		return $id && (int) ( $post instanceof WP_Post ? $post->ID : $post ) === $id;
	};

	// oEmbed, by its REST route and ?rest_route=, and embeds of this site's own links.
	add_filter(
		'oembed_request_post_id',
		static function ( $post_id ) use ( $is_download ) {
			return $is_download( $post_id ) ? 0 : $post_id;
		},
		99
	);
	add_filter(
		'oembed_response_data',
		static function ( $data, $post ) use ( $is_download ) {
			return $is_download( $post ) ? false : $data;
		},
		99,
		2
	);

	// The editor's link dialog searches every public post type.
	add_filter(
		'wp_link_query_args',
		static function ( $query ) use ( $download_id ) {
			if ( $download_id() ) {
				// phpcs:ignore WordPressVIPMinimum.Performance.WPQueryParams.PostNotIn_post__not_in -- one post, the download page, which no list may name
				$query['post__not_in']   = isset( $query['post__not_in'] ) ? (array) $query['post__not_in'] : array();
				$query['post__not_in'][] = $download_id();
			}
			return $query;
		}
	);
	add_filter(
		'wp_link_query',
		static function ( $results ) use ( $is_download ) {
			if ( ! is_array( $results ) ) {
				return $results;
			}
			return array_values(
				array_filter(
					$results,
					static function ( $result ) use ( $is_download ) {
						return ! ( isset( $result['ID'] ) && $is_download( $result['ID'] ) );
					}
				)
			);
		},
		99
	);

	// Shortlinks name a page by its number: the plugin's pages get none, in headers or markup.
	add_filter(
		'pre_get_shortlink',
		static function ( $shortlink, $id, $context ) use ( $ostrel ) {
			$post_id = 'query' === $context && ! $id ? get_queried_object_id() : (int) $id;
			if ( ! $post_id && 'post' === $context ) {
				$post_id = (int) get_the_ID();
			}
			return $post_id && get_post_type( $post_id ) === $ostrel['post_type'] ? '' : $shortlink;
		},
		10,
		3
	);

	// The sales page's neighbour in its post type is the download page.
	foreach ( array( 'get_previous_post_where', 'get_next_post_where' ) as $adjacent ) {
		add_filter(
			$adjacent,
			static function ( $where ) use ( $download_id ) {
				global $wpdb;
				return $download_id() ? $where . $wpdb->prepare( ' AND p.ID <> %d', $download_id() ) : $where;
			}
		);
	}

	// An address given up for a new one answers 404, not a redirect to the new one.
	add_filter(
		'old_slug_redirect_post_id',
		static function ( $post_id ) use ( $is_download ) {
			return $is_download( $post_id ) ? 0 : $post_id;
		},
		99
	);
};

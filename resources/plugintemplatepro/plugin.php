#header#
<?php
defined( 'ABSPATH' ) || exit;

// Closures only: other Ostrel plugins may be active too, so nothing here claims a global name.
( static function () {
	$ostrel = require __DIR__ . '/modules/cpt.php';

	// A nowdoc: the name is text, whatever quotes, backslashes or dollars it holds.
	$ostrel['name'] = <<<'OSTREL_PLUGIN_NAME_9F3C2A'
#menuname#
OSTREL_PLUGIN_NAME_9F3C2A;

	// The Plugins screen knows the plugin by its main file.
	$ostrel['file'] = __FILE__;

	// For people not trusted with unfiltered HTML: post HTML, plus the forms, fields, iframes and
	// data-/aria- attributes that buy buttons and sign-up forms are made of.
	$ostrel['sanitize_tag'] = static function ( $html ) {
		$html    = is_string( $html ) ? $html : '';
		$common  = array(
			'class' => true,
			'id'    => true,
			'style' => true,
			'title' => true,
		);
		$field   = $common + array(
			'name'         => true,
			'value'        => true,
			'disabled'     => true,
			'required'     => true,
			'placeholder'  => true,
			'autocomplete' => true,
		);
		$allowed = array_merge(
			wp_kses_allowed_html( 'post' ),
			array(
				'form'     => $common + array(
					'action'         => true,
					'method'         => true,
					'target'         => true,
					'enctype'        => true,
					'accept-charset' => true,
					'name'           => true,
				),
				'input'    => $field + array(
					'type'      => true,
					'checked'   => true,
					'src'       => true,
					'alt'       => true,
					'width'     => true,
					'height'    => true,
					'size'      => true,
					'maxlength' => true,
					'min'       => true,
					'max'       => true,
					'step'      => true,
					'pattern'   => true,
				),
				'select'   => $field + array( 'multiple' => true ),
				'option'   => $common + array(
					'value'    => true,
					'selected' => true,
				),
				'textarea' => $field + array(
					'rows' => true,
					'cols' => true,
				),
				'label'    => $common + array( 'for' => true ),
				'iframe'   => $common + array(
					'src'             => true,
					'width'           => true,
					'height'          => true,
					'frameborder'     => true,
					'allow'           => true,
					'allowfullscreen' => true,
					'name'            => true,
					'loading'         => true,
					'referrerpolicy'  => true,
				),
			)
		);
		// wp_kses knows no aria-* wildcard, and data-* only on some elements and versions: the
		// names the HTML uses are allowed one by one, on every element.
		preg_match_all( '/(?:data|aria)(?:-[a-z0-9_]+)+/i', $html, $names );
		$extra = array_fill_keys( array_map( 'strtolower', $names[0] ), true );
		foreach ( $allowed as $element => $attributes ) {
			$allowed[ $element ] = array_merge( is_array( $attributes ) ? $attributes : array(), $extra );
		}
		// A script's or style sheet's code would otherwise stay behind as visible text.
		$html = preg_replace( '#<(script|style)\b[^>]*>.*?</\1\s*>#is', '', $html );
		$kept = wp_kses( (string) $html, $allowed );
		// WordPress lets styles load pictures by url(); from someone not trusted with unfiltered
		// HTML that is a tracker or worse, so a declaration loading anything goes. What wp_kses
		// leaves holds no entities or comments in styles, so the declarations split plainly.
		$kept = preg_replace_callback(
			'/(\sstyle\s*=\s*)(["\'])(.*?)\2/is',
			static function ( $style ) {
				$declarations = array_filter(
					explode( ';', $style[3] ),
					static function ( $declaration ) {
						return ! preg_match( '/url\s*\(|image-set|image\s*\(|@import|expression|\\\\/i', $declaration );
					}
				);
				return $style[1] . $style[2] . implode( ';', $declarations ) . $style[2];
			},
			$kept
		);
		return $kept;
	};

	// What cleaning took away, by kind, told from the pasted and the kept HTML.
	$ostrel['removed_kinds'] = static function ( $pasted, $kept ) {
		$census = static function ( $html ) {
			$found = array();
			preg_match_all( '/<([a-z][a-z0-9-]*)([^>]*)>/i', $html, $tags, PREG_SET_ORDER );
			foreach ( $tags as $tag ) {
				$name           = strtolower( $tag[1] );
				$found[ $name ] = isset( $found[ $name ] ) ? $found[ $name ] : array( 0, 0 );
				++$found[ $name ][0];
				$found[ $name ][1] += count( wp_kses_hair( $tag[2], wp_allowed_protocols() ) );
			}
			return $found;
		};
		$before = $census( $pasted );
		$after  = $census( $kept );
		$kinds  = array();
		foreach ( $before as $name => $counts ) {
			$left = isset( $after[ $name ] ) ? $after[ $name ] : array( 0, 0 );
			if ( $counts[0] > $left[0] ) {
				$kind = in_array( $name, array( 'script', 'style' ), true ) ? $name : 'tag';
			} elseif ( $counts[1] > $left[1] ) {
				$kind = 'attribute';
			} else {
				continue;
			}
			$kinds[ $kind ] = true;
		}
		$labels = array(
			'script'    => __( 'scripts', '#prefix#' ),
			'style'     => __( 'styles', '#prefix#' ),
			'tag'       => __( 'other tags', '#prefix#' ),
			'attribute' => __( 'attributes', '#prefix#' ),
		);
		return array_values( array_intersect_key( $labels, $kinds ) );
	};

	// Saved as pasted for people trusted with unfiltered HTML, cleaned for others, who are told
	// what went.
	$ostrel['tag_sanitizer'] = static function ( $key ) use ( $ostrel ) {
		return static function ( $html ) use ( $ostrel, $key ) {
			$html = is_string( $html ) ? $html : '';
			if ( current_user_can( 'unfiltered_html' ) ) {
				return $html;
			}
			$kept = $ostrel['sanitize_tag']( $html );
			if ( $kept === $html || ! function_exists( 'add_settings_error' ) ) {
				return $kept;
			}
			$kinds = $ostrel['removed_kinds']( $html, $kept );
			$what  = 'front_option' === $key ? __( 'Your buy button\'s HTML', '#prefix#' ) : __( 'Your download links\' HTML', '#prefix#' );
			if ( $kinds ) {
				/* translators: 1: "Your buy button's HTML" or "Your download links' HTML", 2: a list such as "scripts and attributes". */
				$message = sprintf( __( '%1$s was cleaned: %2$s were removed, because your account may not post unfiltered HTML.', '#prefix#' ), $what, wp_sprintf( '%l', $kinds ) );
			} else {
				/* translators: %s: "Your buy button's HTML" or "Your download links' HTML". */
				$message = sprintf( __( '%s was changed when it was cleaned, because your account may not post unfiltered HTML. Please check it below.', '#prefix#' ), $what );
			}
			// settings_errors() prints messages as HTML.
			add_settings_error( $ostrel[ $key ], $ostrel[ $key ] . '_cleaned', esc_html( $message ), 'warning' );
			return $kept;
		};
	};

	$ostrel['store']  = ( require __DIR__ . '/modules/store.php' )( $ostrel );
	$ostrel['grants'] = ( require __DIR__ . '/modules/grants.php' )( $ostrel );
	$ostrel['links']  = ( require __DIR__ . '/modules/delivery_links.php' )( $ostrel, $ostrel['store'], $ostrel['grants'] );
	// Payments verified with the provider make the buyers' grants.
	$ostrel['stripe'] = ( require __DIR__ . '/modules/stripe.php' )( $ostrel, $ostrel['grants'] );
	$ostrel['stripe']->register();
	// The buyers' side of the grants: a lost link sent again, the seller's list, the privacy tools.
	$ostrel['buyers'] = ( require __DIR__ . '/modules/buyers.php' )( $ostrel );
	$ostrel['buyers']->register();
	$ostrel['paypal'] = ( require __DIR__ . '/modules/paypal.php' )( $ostrel, $ostrel['grants'] );
	$ostrel['paypal']->register();
	$ostrel['lemonsqueezy'] = ( require __DIR__ . '/modules/lemonsqueezy.php' )( $ostrel, $ostrel['grants'] );
	$ostrel['lemonsqueezy']->register();
	// Whether this host's web server really refuses the product's files.
	$ostrel['protection'] = ( require __DIR__ . '/modules/protection_check.php' )( $ostrel, $ostrel['store'] );

	add_action(
		'init',
		static function () use ( $ostrel ) {
			$ostrel['register_post_type']( $ostrel['name'] );
			$ostrel['add_new_pages']();
		}
	);

	// Before anything the plugin says, the download links' error pages included.
	add_action(
		'init',
		static function () {
			load_plugin_textdomain( '#prefix#', false, dirname( plugin_basename( __FILE__ ) ) . '/languages' );
		},
		0
	);

	// Early, before WordPress works out which page was asked for: a product file found in the
	// plugin's folder again (a newer version uploaded over this one) goes private at once, and a
	// download link is answered without loading the theme.
	add_action(
		'init',
		static function () use ( $ostrel ) {
			$ostrel['store']->sweep();
			// A newer version's tables, before a buyer's link needs them.
			$ostrel['grants']->ensure();
			$ostrel['links']->maybe_serve();
		},
		1
	);

	// A newer version uploaded over this one through WordPress's installer: its product files go
	// private as soon as it is unpacked, before any visitor can ask for them.
	add_action(
		'upgrader_process_complete',
		static function () use ( $ostrel ) {
			$ostrel['store']->sweep();
		}
	);

	// On init rather than admin_init, so the HTML is cleaned however the options get saved.
	add_action(
		'init',
		static function () use ( $ostrel ) {
			foreach ( array( 'front_option', 'back_option' ) as $key ) {
				register_setting(
					$ostrel['option_group'],
					$ostrel[ $key ],
					array(
						'type'              => 'string',
						'default'           => '',
						'sanitize_callback' => $ostrel['tag_sanitizer']( $key ),
					)
				);
			}
			register_setting(
				$ostrel['option_group'],
				$ostrel['lifetime_option'],
				array(
					'type'              => 'integer',
					'default'           => $ostrel['links']::DEFAULT_LIFETIME,
					'sanitize_callback' => array( $ostrel['links'], 'sanitize_lifetime' ),
				)
			);
			$ostrel['grants']->register_settings();
			$ostrel['stripe']->register_settings();
			$ostrel['paypal']->register_settings();
			$ostrel['lemonsqueezy']->register_settings();
		}
	);

	// One site's share of activating: its pages, its link secret and the store.
	$activate_site = static function () use ( $ostrel ) {
		// init has passed: the post type must exist before its pages and rewrite rules.
		$ostrel['register_post_type']( $ostrel['name'] );
		$ostrel['create_pages']( $ostrel['name'] );
		update_option( $ostrel['welcome_option'], 1 );
		$ostrel['links']->ensure_secret();
		$ostrel['store']->ensure();
		$ostrel['store']->sweep();
		$ostrel['grants']->ensure();
		$ostrel['paypal']->ensure_options();
		$ostrel['lemonsqueezy']->ensure_options();
		if ( is_multisite() && ms_is_switched() ) {
			delete_option( 'rewrite_rules' ); // that site makes them anew on its next request
		} else {
			flush_rewrite_rules();
		}
	};

	register_activation_hook(
		__FILE__,
		static function ( $network_wide = false ) use ( $ostrel, $activate_site ) {
			if ( $network_wide ) {
				$ostrel['for_each_site']( $activate_site );
			} else {
				$activate_site();
			}
		}
	);

	// A site added to a network the plugin is active on gets its pages too; after WordPress has
	// made the site's tables.
	add_action(
		'wp_initialize_site',
		static function ( $site ) use ( $activate_site ) {
			if ( ! function_exists( 'is_plugin_active_for_network' ) ) {
				require_once ABSPATH . 'wp-admin/includes/plugin.php';
			}
			if ( ! is_plugin_active_for_network( plugin_basename( __FILE__ ) ) ) {
				return;
			}
			switch_to_blog( $site->id );
			$activate_site();
			restore_current_blog();
		},
		100
	);

	// The product's files stay in the store, where nothing serves them while the plugin is off.
	register_deactivation_hook(
		__FILE__,
		static function () use ( $ostrel ) {
			unregister_post_type( $ostrel['post_type'] );
			flush_rewrite_rules();
		}
	);

	( require __DIR__ . '/modules/cpt_template_loader.php' )( $ostrel );

	if ( is_admin() ) {
		( require __DIR__ . '/modules/admin.php' )( $ostrel );
	}
} )();

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

	// Buy buttons and sign-up forms need form fields, which plain post HTML does not allow.
	$ostrel['sanitize_tag'] = static function ( $html ) {
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
			)
		);
		return wp_kses( is_string( $html ) ? $html : '', $allowed );
	};

	$ostrel['store'] = ( require __DIR__ . '/modules/store.php' )( $ostrel );
	$ostrel['links'] = ( require __DIR__ . '/modules/delivery_links.php' )( $ostrel, $ostrel['store'] );

	add_action( 'init', $ostrel['register_post_type'] );

	// Early, before WordPress works out which page was asked for: a product file found in the
	// plugin's folder again (a newer version uploaded over this one) goes private at once, and a
	// download link is answered without loading the theme.
	add_action(
		'init',
		static function () use ( $ostrel ) {
			$ostrel['store']->sweep();
			$ostrel['links']->maybe_serve();
		},
		1
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
						'sanitize_callback' => $ostrel['sanitize_tag'],
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
		}
	);

	register_activation_hook(
		__FILE__,
		static function () use ( $ostrel ) {
			// init has passed: the post type must exist before its pages and rewrite rules.
			$ostrel['register_post_type']();
			$ostrel['create_pages']( $ostrel['name'] );
			$ostrel['links']->ensure_secret();
			$ostrel['store']->ensure();
			$ostrel['store']->sweep();
			flush_rewrite_rules();
		}
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

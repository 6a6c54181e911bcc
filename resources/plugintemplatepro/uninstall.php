<?php
defined( 'ABSPATH' ) || exit;
defined( 'WP_UNINSTALL_PLUGIN' ) || exit;

// Leaves nothing behind, on every site of a network: the private store with the product's files,
// the plugin's options and its pages go.
( static function () {
	$ostrel = require __DIR__ . '/modules/cpt.php';

	// One store for the whole network.
	( require __DIR__ . '/modules/store.php' )( $ostrel )->delete();
	// What the check of the store's protection found is the network's too.
	if ( is_multisite() ) {
		delete_site_option( $ostrel['protection_option'] );
	}

	$clean_site = static function () use ( $ostrel ) {
		global $wpdb;
		$options = array(
			'front_option',
			'back_option',
			'sales_option',
			'download_option',
			'secret_option',
			'store_option',
			'lifetime_option',
			'counts_option',
			'problems_option',
			'protection_option',
			'welcome_option',
			'pages_option',
			'pages_lock',
			'access_option',
			'grant_days_option',
			'grant_limit_option',
			'mail_subject_option',
			'mail_body_option',
			'stripe_secret_option',
			'stripe_last_option',
			'paypal_email_option',
			'paypal_sandbox_option',
			'paypal_price_option',
			'paypal_currency_option',
			'paypal_last_option',
			'lemonsqueezy_secret_option',
			'lemonsqueezy_last_option',
			'grants_key_option',
			'grants_schema_option',
		);
		foreach ( $options as $key ) {
			delete_option( $ostrel[ $key ] );
		}
		// The buyers' grants and the notifications remembered.
		( require __DIR__ . '/modules/grants.php' )( $ostrel )->drop();
		// The counts of requests for a new personal link, in transients of their own for an hour.
		foreach ( array( '_transient_', '_transient_timeout_' ) as $kind ) {
			// phpcs:ignore WordPress.DB.DirectDatabaseQuery.DirectQuery, WordPress.DB.DirectDatabaseQuery.NoCaching -- rows of this plugin only, on its way out
			$wpdb->query( $wpdb->prepare( "DELETE FROM {$wpdb->options} WHERE option_name LIKE %s", $wpdb->esc_like( $kind . $ostrel['resend_transient'] ) . '%' ) );
		}
		// Each delivery file's download count has a row of its own, named after a hash of a
		// path that an earlier version may have listed: only a pattern finds them all.
		// phpcs:ignore WordPress.DB.DirectDatabaseQuery.DirectQuery, WordPress.DB.DirectDatabaseQuery.NoCaching -- rows of this plugin only, on its way out
		$wpdb->query( $wpdb->prepare( "DELETE FROM {$wpdb->options} WHERE option_name LIKE %s", $wpdb->esc_like( $ostrel['counts_option'] . '_' ) . '%' ) );

		// The post type is not registered while uninstalling, so ask the table directly.
		// phpcs:ignore WordPress.DB.DirectDatabaseQuery.DirectQuery, WordPress.DB.DirectDatabaseQuery.NoCaching -- every status, trash and drafts included, on the plugin's way out
		$ids = $wpdb->get_col(
			$wpdb->prepare( "SELECT ID FROM {$wpdb->posts} WHERE post_type = %s", $ostrel['post_type'] )
		);
		foreach ( $ids as $id ) {
			wp_delete_post( (int) $id, true );
		}
		// The site makes its rules anew, without the plugin's, on its next request.
		delete_option( 'rewrite_rules' );
	};

	$ostrel['for_each_site']( $clean_site );
} )();

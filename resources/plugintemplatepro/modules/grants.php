<?php
defined( 'ABSPATH' ) || exit;

// Buyers' grants: one per verified payment, each with a personal key, an expiry, and an allowance
// of downloads per file. Kept in the plugin's own tables, with order ids and e-mail addresses only
// as keyed hashes and keys only as hashes; no names, addresses, IPs or payloads.
return static function ( array $ostrel ) {
	return new class( $ostrel ) {
		const SCHEMA        = 2;
		const DEFAULT_DAYS  = 30;
		const MAX_DAYS      = 36500;
		const DEFAULT_LIMIT = 5;
		const MAX_LIMIT     = 100000;
		// A Range request this soon after a counted download of the same file continues it.
		const CONTINUATION = 600;
		// How long the return from checkout may still open the download page for its browser.
		const RETURN_WINDOW = 86400;
		// How long a notification's id is remembered, so a repeat of it changes nothing.
		const EVENT_DAYS = 30;
		// The return from checkout looks for the grant this often, for a minute.
		const WAIT_SECONDS = 5;
		const WAIT_TRIES   = 12;
		// Requests for a new personal link, per address and per visitor's IP, in RESEND_WINDOW.
		const RESEND_PER_ADDRESS = 3;
		const RESEND_PER_IP      = 10;
		const RESEND_WINDOW      = 3600;
		// The seller's list of grants, a page at a time.
		const PER_PAGE = 20;

		/** @var array */
		private $ostrel;
		/** @var bool While the buyer's personal link is made, the download page's address may be named. */
		private $linking = false;

		public function __construct( array $ostrel ) {
			$this->ostrel = $ostrel;
		}

		/** Whether the download page serves verified buyers only. */
		public function buyers_only() {
			return 'buyers' === get_option( $this->ostrel['access_option'], 'anyone' );
		}

		public function linking() {
			return $this->linking;
		}

		/**
		 * The route a payment provider posts its notifications to, under the plugin's namespace.
		 * Providers log into no account here: each callback checks the notification (its
		 * signature, or the provider's own answer about it) before anything changes, and that is
		 * what admits it.
		 */
		public function add_route( $name, $callback ) {
			add_action(
				'rest_api_init',
				function () use ( $name, $callback ) {
					register_rest_route(
						$this->ostrel['rest_namespace'],
						'/' . $name,
						array(
							'methods'             => 'POST',
							'callback'            => $callback,
							'permission_callback' => '__return_true',
						)
					);
				}
			);
		}

		/** The address of a provider's route, which the seller gives the provider. */
		public function route_url( $name ) {
			return rest_url( $this->ostrel['rest_namespace'] . '/' . $name );
		}

		private function table( $key ) {
			global $wpdb;
			return $wpdb->prefix . $this->ostrel[ $key ];
		}

		/**
		 * Makes or updates the tables when their version is behind: on activation, and on the first
		 * request after a newer version was uploaded over this one.
		 */
		public function ensure() {
			if ( (int) get_option( $this->ostrel['grants_schema_option'], 0 ) >= self::SCHEMA ) {
				return;
			}
			global $wpdb;
			require_once ABSPATH . 'wp-admin/includes/upgrade.php';
			$charset = $wpdb->get_charset_collate();
			$grants  = $this->table( 'grants_table' );
			$files   = $this->table( 'grant_files_table' );
			$events  = $this->table( 'events_table' );
			// dbDelta wants each column on its own line and two spaces after PRIMARY KEY.
			dbDelta(
				array(
					"CREATE TABLE {$grants} (
id char(32) NOT NULL,
provider varchar(20) NOT NULL,
order_hash char(64) NOT NULL,
order_tail varchar(8) NOT NULL DEFAULT '',
payment_hash char(64) NOT NULL DEFAULT '',
email_hash char(64) NOT NULL DEFAULT '',
token_hash char(64) NOT NULL,
return_hash char(64) DEFAULT NULL,
created bigint(20) unsigned NOT NULL,
expires bigint(20) unsigned NOT NULL DEFAULT 0,
download_limit int(10) unsigned NOT NULL DEFAULT 0,
revoked tinyint(1) NOT NULL DEFAULT 0,
PRIMARY KEY  (id),
UNIQUE KEY order_hash (provider,order_hash),
UNIQUE KEY token_hash (token_hash),
UNIQUE KEY return_hash (return_hash),
KEY payment_hash (payment_hash),
KEY email_hash (email_hash),
KEY created (created)
) {$charset};",
					"CREATE TABLE {$files} (
grant_id char(32) NOT NULL,
file_hash char(32) NOT NULL,
used int(10) unsigned NOT NULL DEFAULT 0,
last_counted bigint(20) unsigned NOT NULL DEFAULT 0,
PRIMARY KEY  (grant_id,file_hash)
) {$charset};",
					"CREATE TABLE {$events} (
event_hash char(64) NOT NULL,
created bigint(20) unsigned NOT NULL,
PRIMARY KEY  (event_hash),
KEY created (created)
) {$charset};",
				)
			);
			// Secrets are read only when a payment or a key is checked: never autoloaded.
			add_option( $this->ostrel['grants_key_option'], wp_generate_password( 64, true, true ), '', false );
			add_option( $this->ostrel['stripe_secret_option'], '', '', false );
			update_option( $this->ostrel['grants_schema_option'], self::SCHEMA );
		}

		/** Drops the tables, on the plugin's way out. */
		public function drop() {
			global $wpdb;
			foreach ( array( 'grants_table', 'grant_files_table', 'events_table' ) as $key ) {
				$table = $this->table( $key );
				// phpcs:ignore WordPress.DB.DirectDatabaseQuery.DirectQuery, WordPress.DB.DirectDatabaseQuery.NoCaching, WordPress.DB.DirectDatabaseQuery.SchemaChange, WordPress.DB.PreparedSQL.InterpolatedNotPrepared -- the plugin's own tables, on its way out; the name is the plugin's
				$wpdb->query( "DROP TABLE IF EXISTS {$table}" );
			}
		}

		/** A keyed hash: without the site's secrets a leaked table names no order or buyer. */
		private function hash( $kind, $value ) {
			$key = get_option( $this->ostrel['grants_key_option'], '' );
			if ( ! is_string( $key ) || '' === $key ) {
				add_option( $this->ostrel['grants_key_option'], wp_generate_password( 64, true, true ), '', false );
				$key = (string) get_option( $this->ostrel['grants_key_option'], '' );
			}
			return hash_hmac( 'sha256', $kind . '|' . $value, $key . wp_salt( 'auth' ) );
		}

		/** Days a grant lasts; 0 for ever. */
		public function days() {
			$days = get_option( $this->ostrel['grant_days_option'], self::DEFAULT_DAYS );
			return is_numeric( $days ) ? (int) max( 0, min( self::MAX_DAYS, (float) $days ) ) : self::DEFAULT_DAYS;
		}

		/** Downloads of each file a grant allows; 0 for no limit. */
		public function limit() {
			$limit = get_option( $this->ostrel['grant_limit_option'], self::DEFAULT_LIMIT );
			return is_numeric( $limit ) ? (int) max( 0, min( self::MAX_LIMIT, (float) $limit ) ) : self::DEFAULT_LIMIT;
		}

		/** The settings of this module, in the menu's option group. */
		public function register_settings() {
			$group = $this->ostrel['option_group'];
			// A form that leaves a field out (an older copy of the menu) keeps what was set.
			register_setting(
				$group,
				$this->ostrel['access_option'],
				array(
					'type'              => 'string',
					'default'           => 'anyone',
					'sanitize_callback' => function ( $value ) {
						if ( null === $value ) {
							return $this->buyers_only() ? 'buyers' : 'anyone';
						}
						return 'buyers' === $value ? 'buyers' : 'anyone';
					},
				)
			);
			foreach ( array(
				'grant_days_option'  => array( 'days', self::MAX_DAYS ),
				'grant_limit_option' => array( 'limit', self::MAX_LIMIT ),
			) as $key => $number ) {
				register_setting(
					$group,
					$this->ostrel[ $key ],
					array(
						'type'              => 'integer',
						'sanitize_callback' => function ( $value ) use ( $number ) {
							$current = $this->{$number[0]}();
							if ( null === $value || ! is_numeric( $value ) ) {
								return $current;
							}
							return (int) max( 0, min( $number[1], floor( (float) $value ) ) );
						},
					)
				);
			}
			foreach ( array(
				'mail_subject_option' => 'sanitize_text_field',
				'mail_body_option'    => 'sanitize_textarea_field',
			) as $key => $clean ) {
				$name = $this->ostrel[ $key ];
				register_setting(
					$group,
					$name,
					array(
						'type'              => 'string',
						'default'           => '',
						'sanitize_callback' => static function ( $value ) use ( $name, $clean ) {
							return null === $value ? (string) get_option( $name, '' ) : $clean( (string) $value );
						},
					)
				);
			}
		}

		public function default_subject() {
			/* translators: {product} stays as it is: it is replaced with the product's name. */
			return __( 'Your download: {product}', '#prefix#' );
		}

		public function default_body() {
			/* translators: {product} and {link} stay as they are: they are replaced with the product's name and the buyer's personal link. */
			return __( "Thank you for buying {product}.\n\nYour personal download page:\n{link}\n\nThe link is yours alone: keep it to yourself. Reply to this e-mail if anything does not work.", '#prefix#' );
		}

		/** A new personal key: 32 random bytes, in hex, which addresses and cookies carry unchanged. */
		private function new_token() {
			return bin2hex( random_bytes( 32 ) );
		}

		/**
		 * Remembers a notification or a fact by name for EVENT_DAYS: true the first time, false
		 * when it was already known, null when the database failed.
		 */
		public function remember( $name ) {
			global $wpdb;
			$events = $this->table( 'events_table' );
			// phpcs:ignore WordPress.DB.DirectDatabaseQuery.DirectQuery, WordPress.DB.DirectDatabaseQuery.NoCaching, WordPress.DB.PreparedSQL.InterpolatedNotPrepared -- the plugin's own table; old rows go as new ones come
			$wpdb->query( $wpdb->prepare( "DELETE FROM {$events} WHERE created < %d", time() - self::EVENT_DAYS * DAY_IN_SECONDS ) );
			// phpcs:ignore WordPress.DB.DirectDatabaseQuery.DirectQuery, WordPress.DB.DirectDatabaseQuery.NoCaching, WordPress.DB.PreparedSQL.InterpolatedNotPrepared -- one atomic statement decides which of two deliveries at once is the first
			$added = $wpdb->query( $wpdb->prepare( "INSERT IGNORE INTO {$events} (event_hash, created) VALUES (%s, %d)", $this->hash( 'event', $name ), time() ) );
			return false === $added ? null : 1 === $added;
		}

		/** Whether a name was remembered. */
		private function known( $name ) {
			global $wpdb;
			$events = $this->table( 'events_table' );
			// phpcs:ignore WordPress.DB.DirectDatabaseQuery.DirectQuery, WordPress.DB.DirectDatabaseQuery.NoCaching, WordPress.DB.PreparedSQL.InterpolatedNotPrepared -- the plugin's own table, as it is now
			return (bool) $wpdb->get_var( $wpdb->prepare( "SELECT 1 FROM {$events} WHERE event_hash = %s", $this->hash( 'event', $name ) ) );
		}

		/** Forgets a name, so the provider's next try of a notification that failed is handled. */
		public function forget( $name ) {
			global $wpdb;
			$wpdb->delete( $this->table( 'events_table' ), array( 'event_hash' => $this->hash( 'event', $name ) ) ); // phpcs:ignore WordPress.DB.DirectDatabaseQuery.DirectQuery, WordPress.DB.DirectDatabaseQuery.NoCaching -- the plugin's own table
		}

		/**
		 * The grant for a paid order, made once however often the payment is reported, and the
		 * buyer's mail with it. Returns 'created', 'exists', or null when the database failed.
		 */
		public function grant( $provider, $order_id, $payment_id, $email, $product ) {
			global $wpdb;
			$token   = $this->new_token();
			$now     = time();
			$days    = $this->days();
			$email   = sanitize_email( (string) $email );
			// A refund reported before the payment: the grant is made revoked, and no mail goes.
			$revoked = '' !== $payment_id && $this->known( 'refund|' . $provider . '|' . $payment_id );
			$grants  = $this->table( 'grants_table' );
			// The unique order key makes two reports of one payment one grant; the table is the plugin's own.
			// phpcs:disable WordPress.DB.DirectDatabaseQuery.DirectQuery, WordPress.DB.DirectDatabaseQuery.NoCaching, WordPress.DB.PreparedSQL.InterpolatedNotPrepared
			$added = $wpdb->query(
				$wpdb->prepare(
					"INSERT IGNORE INTO {$grants} (id, provider, order_hash, payment_hash, email_hash, token_hash, created, expires, download_limit, revoked) VALUES (%s, %s, %s, %s, %s, %s, %d, %d, %d, %d)",
					bin2hex( random_bytes( 16 ) ),
					$provider,
					$this->hash( 'order', $provider . '|' . $order_id ),
					'' === $payment_id ? '' : $this->hash( 'payment', $provider . '|' . $payment_id ),
					'' === $email ? '' : $this->hash( 'email', strtolower( $email ) ),
					$this->hash( 'token', $token ),
					$now,
					$days ? $now + $days * DAY_IN_SECONDS : 0,
					$this->limit(),
					$revoked ? 1 : 0
				)
			);
			// phpcs:enable WordPress.DB.DirectDatabaseQuery.DirectQuery, WordPress.DB.DirectDatabaseQuery.NoCaching, WordPress.DB.PreparedSQL.InterpolatedNotPrepared
			if ( false === $added ) {
				return null;
			}
			if ( 1 !== $added ) {
				return 'exists';
			}
			$this->keep_order_tail( $provider, $order_id );
			if ( ! $revoked && is_email( $email ) ) {
				$this->send_link( $email, $token, $product );
			}
			return 'created';
		}

		/** Revokes the grants of a refunded payment, and remembers the refund for one reported late. */
		public function revoke_payment( $provider, $payment_id ) {
			global $wpdb;
			if ( null === $this->remember( 'refund|' . $provider . '|' . $payment_id ) ) {
				return null;
			}
			$grants = $this->table( 'grants_table' );
			// phpcs:ignore WordPress.DB.DirectDatabaseQuery.DirectQuery, WordPress.DB.DirectDatabaseQuery.NoCaching, WordPress.DB.PreparedSQL.InterpolatedNotPrepared -- the plugin's own table
			return $wpdb->query( $wpdb->prepare( "UPDATE {$grants} SET revoked = 1 WHERE provider = %s AND payment_hash = %s", $provider, $this->hash( 'payment', $provider . '|' . $payment_id ) ) );
		}

		private function find( $column, $hash ) {
			global $wpdb;
			$grants = $this->table( 'grants_table' );
			$column = in_array( $column, array( 'id', 'order_hash', 'token_hash', 'return_hash' ), true ) ? $column : 'id';
			// phpcs:ignore WordPress.DB.DirectDatabaseQuery.DirectQuery, WordPress.DB.DirectDatabaseQuery.NoCaching, WordPress.DB.PreparedSQL.InterpolatedNotPrepared -- the plugin's own table, by an indexed column from the list above; a grant can be revoked at any moment, so never cached
			return $wpdb->get_row( $wpdb->prepare( "SELECT * FROM {$grants} WHERE {$column} = %s", $hash ) );
		}

		/** The grant a personal key opens, or null. */
		public function by_token( $token ) {
			if ( ! is_string( $token ) || ! preg_match( '/^[0-9a-f]{64}$/', $token ) ) {
				return null;
			}
			$hash = $this->hash( 'token', $token );
			$grant = $this->find( 'token_hash', $hash );
			return $grant ? $grant : $this->find( 'return_hash', $hash );
		}

		public function by_order( $provider, $order_id ) {
			return $this->find( 'order_hash', $this->hash( 'order', $provider . '|' . $order_id ) );
		}

		public function by_id( $id ) {
			return is_string( $id ) && preg_match( '/^[0-9a-f]{32}$/', $id ) ? $this->find( 'id', $id ) : null;
		}

		/** 'ok', 'revoked' or 'expired'. */
		public function state( $grant ) {
			if ( (int) $grant->revoked ) {
				return 'revoked';
			}
			return (int) $grant->expires && (int) $grant->expires < time() ? 'expired' : 'ok';
		}

		/** The download page's address with the buyer's key. */
		public function personal_link( $token ) {
			// The download page's address is otherwise named on that page or to its owner only.
			$this->linking = true;
			$url           = get_permalink( (int) get_option( $this->ostrel['download_option'] ) );
			$this->linking = false;
			return add_query_arg( $this->ostrel['grant_arg'], $token, (string) $url );
		}

		private function send_link( $email, $token, $product ) {
			$subject = trim( (string) get_option( $this->ostrel['mail_subject_option'], '' ) );
			$body    = trim( (string) get_option( $this->ostrel['mail_body_option'], '' ) );
			$subject = '' === $subject ? $this->default_subject() : $subject;
			$body    = '' === $body ? $this->default_body() : $body;
			$link    = $this->personal_link( $token );
			// A text the seller wrote without the link still brings it.
			if ( false === strpos( $body, '{link}' ) ) {
				$body .= "\n\n{link}";
			}
			$names = array( '{product}', '{link}' );
			return wp_mail( $email, str_replace( $names, array( $product, '' ), $subject ), str_replace( $names, array( $product, $link ), $body ) );
		}

		/**
		 * Admits one download of a file through a grant's link, or ends the request with a page
		 * saying why not. Counted unless it is a HEAD request or continues, by a Range, a download
		 * of the same file counted in the last ten minutes.
		 */
		public function admit( $grant_id, $path, $start, $counted ) {
			global $wpdb;
			$grant = $this->by_id( $grant_id );
			$state = $grant ? $this->state( $grant ) : 'revoked';
			if ( 'ok' !== $state ) {
				$this->ended_page( $state );
			}
			if ( ! $counted ) {
				return;
			}
			$files = $this->table( 'grant_files_table' );
			$file  = md5( $path );
			$now   = time();
			// phpcs:ignore WordPress.DB.DirectDatabaseQuery.DirectQuery, WordPress.DB.DirectDatabaseQuery.NoCaching, WordPress.DB.PreparedSQL.InterpolatedNotPrepared -- the plugin's own table: the file's row, made once
			$wpdb->query( $wpdb->prepare( "INSERT IGNORE INTO {$files} (grant_id, file_hash, used, last_counted) VALUES (%s, %s, 0, 0)", $grant->id, $file ) );
			if ( $start > 0 ) {
				// phpcs:ignore WordPress.DB.DirectDatabaseQuery.DirectQuery, WordPress.DB.DirectDatabaseQuery.NoCaching, WordPress.DB.PreparedSQL.InterpolatedNotPrepared -- the plugin's own table, as the last download left it
				$last = (int) $wpdb->get_var( $wpdb->prepare( "SELECT last_counted FROM {$files} WHERE grant_id = %s AND file_hash = %s", $grant->id, $file ) );
				if ( $last >= $now - self::CONTINUATION ) {
					return;
				}
			}
			$limit = (int) $grant->download_limit;
			// One statement, so downloads at the same moment cannot both take the last one.
			// phpcs:ignore WordPress.DB.DirectDatabaseQuery.DirectQuery, WordPress.DB.DirectDatabaseQuery.NoCaching, WordPress.DB.PreparedSQL.InterpolatedNotPrepared -- the plugin's own table, an atomic increment
			$taken = $wpdb->query( $wpdb->prepare( "UPDATE {$files} SET used = used + 1, last_counted = %d WHERE grant_id = %s AND file_hash = %s AND ( %d = 0 OR used < %d )", $now, $grant->id, $file, $limit, $limit ) );
			if ( 1 !== $taken ) {
				$this->ended_page( 'used', $limit );
			}
		}

		/**
		 * On the download page in "only verified buyers" mode: the grant the visitor holds, by the
		 * key in the address, the return from checkout or the cookie, in that order; anyone else
		 * gets a page saying how to get access, and the request ends.
		 *
		 * @return string The grant's id, which the page's links are signed with.
		 */
		public function download_gate() {
			$arg = $this->ostrel['grant_arg'];
			// Buyers arrive from their mail or the payment provider, with no session and so no
			// nonce: the key itself is the proof, and it is checked against its hash.
			// phpcs:disable WordPress.Security.NonceVerification.Recommended
			$from_address = isset( $_GET[ $arg ] ) && is_string( $_GET[ $arg ] ) ? sanitize_text_field( wp_unslash( $_GET[ $arg ] ) ) : '';
			$session      = isset( $_GET['session_id'] ) && is_string( $_GET['session_id'] ) ? sanitize_text_field( wp_unslash( $_GET['session_id'] ) ) : '';
			$tries        = isset( $_GET[ $arg . '_wait' ] ) ? absint( $_GET[ $arg . '_wait' ] ) : 0;
			// phpcs:enable WordPress.Security.NonceVerification.Recommended
			$cookie = $this->ostrel['grant_cookie'];
			$kept   = isset( $_COOKIE[ $cookie ] ) && is_string( $_COOKIE[ $cookie ] ) ? sanitize_text_field( wp_unslash( $_COOKIE[ $cookie ] ) ) : '';

			$grant = $this->by_token( $from_address );
			$token = $from_address;
			if ( ! $grant && preg_match( '/^cs_[A-Za-z0-9_]{8,250}$/', $session ) ) {
				$grant = $this->by_order( 'stripe', $session );
				if ( ! $grant ) {
					$this->pending_page( $session, $tries );
				}
				$token = $this->claim_return( $grant );
				$grant = '' === $token ? null : $grant;
			}
			foreach ( $grant ? array() : $this->other_returns() as $provider => $return ) {
				list( $name, $pattern, $value ) = $return;
				if ( ! preg_match( $pattern, $value ) ) {
					continue;
				}
				$grant = $this->by_order( $provider, $value );
				if ( ! $grant ) {
					$this->pending_page( $value, $tries, $name );
				}
				$token = $this->claim_return( $grant );
				$grant = '' === $token ? null : $grant;
				break;
			}
			if ( ! $grant ) {
				$grant = $this->by_token( $kept );
				$token = '';
			}
			if ( ! $grant ) {
				$this->no_access_page();
			}
			$state = $this->state( $grant );
			if ( 'ok' !== $state ) {
				$this->ended_page( $state );
			}
			if ( '' !== $token && $token !== $kept ) {
				$this->set_cookie( $token, $grant );
			}
			return $grant->id;
		}

		/**
		 * What the returns from PayPal's and Lemon Squeezy's checkouts carry, by provider: the
		 * argument's name, the shape of its value and its value. PayPal names the transaction
		 * ("tx", when Payment Data Transfer is on), Lemon Squeezy the order's identifier, as the
		 * seller's button link puts it.
		 */
		private function other_returns() {
			// As in download_gate(): the order's id itself is the proof, within a day of the payment.
			// phpcs:disable WordPress.Security.NonceVerification.Recommended
			$tx    = isset( $_GET['tx'] ) && is_string( $_GET['tx'] ) ? strtoupper( sanitize_text_field( wp_unslash( $_GET['tx'] ) ) ) : '';
			$order = isset( $_GET['order_identifier'] ) && is_string( $_GET['order_identifier'] ) ? strtolower( sanitize_text_field( wp_unslash( $_GET['order_identifier'] ) ) ) : '';
			// phpcs:enable WordPress.Security.NonceVerification.Recommended
			return array(
				'paypal'       => array( 'tx', '/^[A-Z0-9]{10,32}$/', $tx ),
				'lemonsqueezy' => array( 'order_identifier', '/^[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$/', $order ),
			);
		}

		/**
		 * A key of its own for the browser that returns from checkout, while the return is recent:
		 * a thank-you address passed on later opens nothing. '' when too late.
		 */
		private function claim_return( $grant ) {
			global $wpdb;
			if ( (int) $grant->created < time() - self::RETURN_WINDOW ) {
				return '';
			}
			$token = $this->new_token();
			$wpdb->update( $this->table( 'grants_table' ), array( 'return_hash' => $this->hash( 'token', $token ) ), array( 'id' => $grant->id ) ); // phpcs:ignore WordPress.DB.DirectDatabaseQuery.DirectQuery, WordPress.DB.DirectDatabaseQuery.NoCaching -- the plugin's own table
			return $token;
		}

		private function set_cookie( $token, $grant ) {
			if ( headers_sent() ) {
				return;
			}
			setcookie(
				$this->ostrel['grant_cookie'],
				$token,
				array(
					'expires'  => (int) $grant->expires ? (int) $grant->expires : time() + YEAR_IN_SECONDS,
					'path'     => COOKIEPATH ? COOKIEPATH : '/',
					'domain'   => COOKIE_DOMAIN ? COOKIE_DOMAIN : '',
					'secure'   => is_ssl(),
					'httponly' => true,
					'samesite' => 'Lax',
				)
			);
		}

		/** How to reach the seller: the site's address for mail. */
		private function contact() {
			$email = sanitize_email( (string) get_option( 'admin_email' ) );
			return '' === $email ? '' : '<p>' . sprintf(
				/* translators: %s: the seller's e-mail address, as a link. */
				esc_html__( 'Questions? Write to %s.', '#prefix#' ),
				'<a href="mailto:' . esc_attr( antispambot( $email ) ) . '">' . esc_html( antispambot( $email ) ) . '</a>'
			) . '</p>';
		}

		private function pending_page( $session, $tries, $name = 'session_id' ) {
			if ( $tries >= self::WAIT_TRIES ) {
				$this->page(
					200,
					__( 'Your payment is not confirmed yet', '#prefix#' ),
					'<p>' . esc_html__( 'Your payment has not been confirmed to this site yet. As soon as it is, your personal download link is sent to the e-mail address you paid with.', '#prefix#' ) . '</p>' . $this->contact()
				);
			}
			$again = add_query_arg(
				array(
					$name                                  => rawurlencode( $session ),
					$this->ostrel['grant_arg'] . '_wait' => $tries + 1,
				),
				get_permalink( (int) get_option( $this->ostrel['download_option'] ) )
			);
			$this->page(
				200,
				__( 'Your payment is being confirmed', '#prefix#' ),
				'<p>' . esc_html__( 'Your payment is being confirmed. This page refreshes itself and shows your download in a moment.', '#prefix#' ) . '</p>',
				$again
			);
		}

		/** $problem: what was wrong with the lost-link form as it was sent. */
		private function no_access_page( $problem = '' ) {
			$sales = get_permalink( (int) get_option( $this->ostrel['sales_option'] ) );
			$this->page(
				'' === $problem ? 403 : 400,
				__( 'Your download needs your personal link', '#prefix#' ),
				'<p>' . esc_html__( 'This page gives the product to its buyers only. Open the personal link from the e-mail you got after paying, in the browser you want to download with.', '#prefix#' ) . '</p>',
				'',
				$this->resend_form( $problem )
				. ( $sales ? '<p><a href="' . esc_url( $sales ) . '">' . esc_html__( 'Not bought yet? Buy it here.', '#prefix#' ) . '</a></p>' : '' )
				. $this->contact()
			);
		}

		private function ended_page( $state, $limit = 0 ) {
			if ( 'used' === $state ) {
				$heading = __( 'You have used all your downloads of this file', '#prefix#' );
				/* translators: %s: the number of downloads allowed per file. */
				$reason = sprintf( _n( 'Your purchase includes %s download of each file.', 'Your purchase includes %s downloads of each file.', $limit, '#prefix#' ), number_format_i18n( $limit ) );
			} elseif ( 'expired' === $state ) {
				$heading = __( 'Your download access has expired', '#prefix#' );
				$reason  = __( 'Your purchase included downloads for a limited time, which has passed.', '#prefix#' );
			} else {
				$heading = __( 'Your download access has ended', '#prefix#' );
				$reason  = __( 'The purchase this access came with was refunded or cancelled.', '#prefix#' );
			}
			$this->page( 403, $heading, '<p>' . esc_html( $reason ) . '</p><p>' . esc_html__( 'If you think this is a mistake, the seller can help.', '#prefix#' ) . '</p>' . $this->contact() );
		}

		/**
		 * Ends the request with a short page of its own; $body is HTML, escaped by the caller, and
		 * $escaped, which follows it, HTML the caller made of escaped parts only (a form).
		 */
		private function page( $status, $title, $body, $refresh = '', $escaped = '' ) {
			status_header( $status );
			nocache_headers();
			header( 'Content-Type: text/html; charset=utf-8' );
			header( 'X-Robots-Tag: noindex, nofollow' );
			header( 'Referrer-Policy: same-origin' );
			echo '<!DOCTYPE html><html ' . get_language_attributes() . '><head><meta charset="utf-8"><meta name="viewport" content="width=device-width, initial-scale=1"><meta name="robots" content="noindex, nofollow">'; // phpcs:ignore WordPress.Security.EscapeOutput.OutputNotEscaped -- WordPress escapes the language attributes
			if ( '' !== $refresh ) {
				echo '<meta http-equiv="refresh" content="' . esc_attr( self::WAIT_SECONDS . ';url=' . $refresh ) . '">';
			}
			echo '<title>' . esc_html( $title ) . '</title></head><body style="max-width:40em;margin:3em auto;padding:0 1em;font:16px/1.5 sans-serif;color:#1d2327">';
			echo '<h1>' . esc_html( $title ) . '</h1>' . wp_kses_post( $body ) . $escaped . '</body></html>'; // phpcs:ignore WordPress.Security.EscapeOutput.OutputNotEscaped -- $escaped is made of escaped parts, see above
			exit;
		}

		/** An e-mail address as grant() hashes it: cleaned, in lower case. */
		private function normalise_email( $email ) {
			return strtolower( sanitize_email( trim( (string) $email ) ) );
		}

		/** The keyed hash grants know a buyer's address by; '' for no address. */
		private function email_hash( $email ) {
			$email = $this->normalise_email( $email );
			return '' === $email ? '' : $this->hash( 'email', $email );
		}

		/**
		 * The order id's last four characters beside its hash, by which the seller finds the
		 * order at the provider; four characters of a random id tell nobody else anything.
		 */
		private function keep_order_tail( $provider, $order_id ) {
			global $wpdb;
			$tail = substr( preg_replace( '/[^A-Za-z0-9_-]/', '', (string) $order_id ), -4 );
			$wpdb->update( $this->table( 'grants_table' ), array( 'order_tail' => $tail ), array( 'order_hash' => $this->hash( 'order', $provider . '|' . $order_id ) ) ); // phpcs:ignore WordPress.DB.DirectDatabaseQuery.DirectQuery, WordPress.DB.DirectDatabaseQuery.NoCaching -- the plugin's own table
		}

		/** The download page's own address, for its form. */
		private function download_url() {
			$this->linking = true;
			$url           = get_permalink( (int) get_option( $this->ostrel['download_option'] ) );
			$this->linking = false;
			return (string) $url;
		}

		public function renewed_subject() {
			/* translators: {product} stays as it is: it is replaced with the product's name. */
			return __( 'Your new download link: {product}', '#prefix#' );
		}

		public function renewed_body() {
			/* translators: {product} and {link} stay as they are: they are replaced with the product's name and the buyer's personal link. */
			return __( "Here is your new personal download page for {product}:\n{link}\n\nThe link you were sent before no longer works. This one is yours alone: keep it to yourself.\n\nIf you did not ask for a new link, someone typed your address on the download page: the link still came to you only, and you can keep using it.", '#prefix#' );
		}

		/** The buyer's mail with a new personal link. */
		private function send_new_link( $email, $token ) {
			$product = isset( $this->ostrel['name'] ) ? $this->ostrel['name'] : get_bloginfo( 'name' );
			$names   = array( '{product}', '{link}' );
			return wp_mail( $email, str_replace( $names, array( $product, '' ), $this->renewed_subject() ), str_replace( $names, array( $product, $this->personal_link( $token ) ), $this->renewed_body() ) );
		}

		/** The lost-link form; $problem says what was wrong with it as sent. Made of escaped parts. */
		private function resend_form( $problem ) {
			$field = $this->resend_field();
			return '<form method="post" action="' . esc_url( $this->download_url() ) . '">'
				. '<p><label for="' . esc_attr( $field ) . '">' . esc_html__( 'Lost your link? Type the e-mail address you paid with, and a new one is sent to it.', '#prefix#' ) . '</label></p>'
				. ( '' === $problem ? '' : '<p role="alert"><strong>' . esc_html( $problem ) . '</strong></p>' )
				. '<p><input type="email" id="' . esc_attr( $field ) . '" name="' . esc_attr( $field ) . '" required autocomplete="email" size="30" style="font:inherit;padding:.3em"> '
				. '<button type="submit" style="font:inherit;padding:.3em .8em">' . esc_html__( 'Send me a new link', '#prefix#' ) . '</button></p></form>';
		}

		/** Whether an address is the one a grant was made for. */
		public function email_matches( $grant, $email ) {
			$hash = $this->email_hash( $email );
			return '' !== $hash && is_string( $grant->email_hash ) && hash_equals( $grant->email_hash, $hash );
		}

		/** The grants made for an address, newest first. */
		public function by_email( $email, $limit = 100, $offset = 0 ) {
			global $wpdb;
			$hash = $this->email_hash( $email );
			if ( '' === $hash ) {
				return array();
			}
			$grants = $this->table( 'grants_table' );
			// phpcs:ignore WordPress.DB.DirectDatabaseQuery.DirectQuery, WordPress.DB.DirectDatabaseQuery.NoCaching, WordPress.DB.PreparedSQL.InterpolatedNotPrepared -- the plugin's own table, by an indexed column; never cached, as grants change at any moment
			$rows = $wpdb->get_results( $wpdb->prepare( "SELECT * FROM {$grants} WHERE email_hash = %s ORDER BY created DESC, id DESC LIMIT %d OFFSET %d", $hash, $limit, $offset ) );
			return is_array( $rows ) ? $rows : array();
		}

		/**
		 * A new personal key for a grant, mailed to the address typed: every key given out before
		 * (the mailed link, the return from checkout, and the cookies holding either) opens nothing
		 * any more. Only hashes of keys are kept, so the old link cannot be sent again. Should the
		 * mail fail, the old keys are put back. Whether the mail went.
		 */
		public function renew( $grant, $email ) {
			global $wpdb;
			$table   = $this->table( 'grants_table' );
			$token   = $this->new_token();
			$changed = $wpdb->update( $table, array( 'token_hash' => $this->hash( 'token', $token ), 'return_hash' => null ), array( 'id' => $grant->id ) ); // phpcs:ignore WordPress.DB.DirectDatabaseQuery.DirectQuery, WordPress.DB.DirectDatabaseQuery.NoCaching -- the plugin's own table
			if ( 1 !== $changed ) {
				return false;
			}
			if ( $this->send_new_link( sanitize_email( trim( (string) $email ) ), $token ) ) {
				return true;
			}
			$wpdb->update( $table, array( 'token_hash' => $grant->token_hash, 'return_hash' => $grant->return_hash ), array( 'id' => $grant->id ) ); // phpcs:ignore WordPress.DB.DirectDatabaseQuery.DirectQuery, WordPress.DB.DirectDatabaseQuery.NoCaching -- the plugin's own table
			return false;
		}

		/** Ends a grant's access, as a refund does. Whether the database took it. */
		public function revoke( $grant ) {
			global $wpdb;
			return false !== $wpdb->update( $this->table( 'grants_table' ), array( 'revoked' => 1 ), array( 'id' => $grant->id ) ); // phpcs:ignore WordPress.DB.DirectDatabaseQuery.DirectQuery, WordPress.DB.DirectDatabaseQuery.NoCaching -- the plugin's own table
		}

		/** Gives a grant its whole allowance of every file back. Whether the database took it. */
		public function reset_downloads( $grant ) {
			global $wpdb;
			return false !== $wpdb->delete( $this->table( 'grant_files_table' ), array( 'grant_id' => $grant->id ) ); // phpcs:ignore WordPress.DB.DirectDatabaseQuery.DirectQuery, WordPress.DB.DirectDatabaseQuery.NoCaching -- the plugin's own table
		}

		/**
		 * Deletes the grants made for an address, with their downloads' counts: how many grants
		 * went, or null when the database failed.
		 */
		public function erase_email( $email ) {
			global $wpdb;
			$erased = 0;
			do {
				$found = $this->by_email( $email );
				foreach ( $found as $grant ) {
					// phpcs:disable WordPress.DB.DirectDatabaseQuery.DirectQuery, WordPress.DB.DirectDatabaseQuery.NoCaching -- the plugin's own tables
					if ( false === $wpdb->delete( $this->table( 'grant_files_table' ), array( 'grant_id' => $grant->id ) )
						|| ! $wpdb->delete( $this->table( 'grants_table' ), array( 'id' => $grant->id ) ) ) {
						return null;
					}
					// phpcs:enable WordPress.DB.DirectDatabaseQuery.DirectQuery, WordPress.DB.DirectDatabaseQuery.NoCaching
					++$erased;
				}
			} while ( $found );
			return $erased;
		}

		/**
		 * One page of every grant, newest first, from 1: array( grants, how many there are in all ).
		 */
		public function page_of_grants( $page ) {
			global $wpdb;
			$grants = $this->table( 'grants_table' );
			// phpcs:disable WordPress.DB.DirectDatabaseQuery.DirectQuery, WordPress.DB.DirectDatabaseQuery.NoCaching, WordPress.DB.PreparedSQL.InterpolatedNotPrepared -- the plugin's own table, as it is now
			$total = (int) $wpdb->get_var( "SELECT COUNT(*) FROM {$grants}" );
			$rows  = $wpdb->get_results( $wpdb->prepare( "SELECT * FROM {$grants} ORDER BY created DESC, id DESC LIMIT %d OFFSET %d", self::PER_PAGE, self::PER_PAGE * ( max( 1, (int) $page ) - 1 ) ) );
			// phpcs:enable WordPress.DB.DirectDatabaseQuery.DirectQuery, WordPress.DB.DirectDatabaseQuery.NoCaching, WordPress.DB.PreparedSQL.InterpolatedNotPrepared
			return array( is_array( $rows ) ? $rows : array(), $total );
		}

		/**
		 * What grants have used of the files delivered now, by grant id: array( downloads in all,
		 * files whose allowance is used up ).
		 *
		 * @param object[] $grants Rows of the grants table.
		 * @param string[] $paths  The delivery files.
		 */
		public function usage( array $grants, array $paths ) {
			global $wpdb;
			$usage = array();
			$limit = array();
			foreach ( $grants as $grant ) {
				$usage[ $grant->id ] = array( 0, 0 );
				$limit[ $grant->id ] = (int) $grant->download_limit;
			}
			if ( ! $usage ) {
				return $usage;
			}
			$delivered = array_flip( array_map( 'md5', $paths ) );
			$files     = $this->table( 'grant_files_table' );
			$ids       = array_keys( $usage );
			// phpcs:ignore WordPress.DB.DirectDatabaseQuery.DirectQuery, WordPress.DB.DirectDatabaseQuery.NoCaching, WordPress.DB.PreparedSQL.InterpolatedNotPrepared, WordPress.DB.PreparedSQLPlaceholders.UnfinishedPrepare -- the plugin's own table; one %s for each id of the page
			$rows = $wpdb->get_results( $wpdb->prepare( "SELECT grant_id, file_hash, used FROM {$files} WHERE grant_id IN (" . implode( ', ', array_fill( 0, count( $ids ), '%s' ) ) . ')', $ids ) );
			foreach ( is_array( $rows ) ? $rows : array() as $row ) {
				if ( ! isset( $usage[ $row->grant_id ] ) ) {
					continue;
				}
				$usage[ $row->grant_id ][0] += (int) $row->used;
				if ( isset( $delivered[ $row->file_hash ] ) && $limit[ $row->grant_id ] && (int) $row->used >= $limit[ $row->grant_id ] ) {
					++$usage[ $row->grant_id ][1];
				}
			}
			return $usage;
		}

		/**
		 * 'active', 'used' (every file's allowance), 'expired' or 'revoked', as the seller's list
		 * and the buyer's export say.
		 */
		public function status( $grant, array $usage, $files ) {
			$state = $this->state( $grant );
			if ( 'ok' !== $state ) {
				return $state;
			}
			return (int) $grant->download_limit && $files && $usage[1] >= $files ? 'used' : 'active';
		}

		/**
		 * Counts one request against a limit, in a transient named by a keyed hash of what is
		 * counted (never the address or IP itself), for RESEND_WINDOW from the first request:
		 * whether the request is within the limit. Two requests at the very same moment may read
		 * the same count, so the limit is one higher at worst.
		 */
		private function within_limit( $kind, $value, $max ) {
			$name = $this->ostrel['resend_transient'] . substr( $this->hash( 'limit', $kind . '|' . $value ), 0, 32 );
			$now  = time();
			$seen = get_transient( $name );
			if ( ! is_array( $seen ) || 2 !== count( $seen ) || (int) $seen[1] <= $now - self::RESEND_WINDOW ) {
				$seen = array( 0, $now );
			}
			$seen = array( (int) $seen[0] + 1, (int) $seen[1] );
			set_transient( $name, $seen, max( 1, $seen[1] + self::RESEND_WINDOW - $now ) );
			return $seen[0] <= $max;
		}

		/** The name of the lost-link form's address field. */
		public function resend_field() {
			return $this->ostrel['grant_arg'] . '_resend';
		}

		/** Whether this request is the lost-link form, posted to the download page. */
		public function resend_posted() {
			// phpcs:ignore WordPress.Security.NonceVerification.Missing -- only whether the field is there; resend_request() says why there is no nonce
			return isset( $_SERVER['REQUEST_METHOD'], $_POST[ $this->resend_field() ] ) && 'POST' === $_SERVER['REQUEST_METHOD'];
		}

		/**
		 * Answers the lost-link form: a new personal link for the newest grant of that address that
		 * still gives access, mailed to it, and the same page whether the address bought or not,
		 * and whether it was sent or held back by the limits.
		 *
		 * The form is a plain POST to the download page, without a nonce: its visitors are logged
		 * into nothing, and a nonce printed into a page that a cache may keep would be stale or
		 * shared by all. None is needed: a forged request can only make the site mail a buyer a new
		 * link to that buyer's own address, and the limits hold that to a few an hour.
		 */
		public function resend_request() {
			$field = $this->resend_field();
			// phpcs:ignore WordPress.Security.NonceVerification.Missing -- see above
			$typed = isset( $_POST[ $field ] ) && is_string( $_POST[ $field ] ) ? sanitize_text_field( wp_unslash( $_POST[ $field ] ) ) : '';
			$email = sanitize_email( trim( $typed ) );
			if ( ! is_email( $email ) ) {
				$this->no_access_page( __( 'That is not an e-mail address. Please type the address you paid with.', '#prefix#' ) );
			}
			// The address the connection came from: headers such as X-Forwarded-For are the
			// visitor's to write. Every request counts against both limits, so neither one visitor
			// trying many addresses nor many visitors trying one address get past them.
			$ip         = isset( $_SERVER['REMOTE_ADDR'] ) ? sanitize_text_field( wp_unslash( $_SERVER['REMOTE_ADDR'] ) ) : '';
			$by_ip      = $this->within_limit( 'ip', $ip, self::RESEND_PER_IP );
			$by_address = $this->within_limit( 'email', $this->normalise_email( $email ), self::RESEND_PER_ADDRESS );
			if ( $by_ip && $by_address ) {
				// After the answer, which PHP-FPM and LiteSpeed can end before the mail is sent: the
				// time the answer takes then tells a buyer's address from another's no more than
				// its bytes do.
				add_action(
					'shutdown',
					function () use ( $email ) {
						if ( function_exists( 'fastcgi_finish_request' ) ) {
							fastcgi_finish_request();
						} elseif ( function_exists( 'litespeed_finish_request' ) ) {
							litespeed_finish_request();
						}
						foreach ( $this->by_email( $email ) as $grant ) {
							if ( 'ok' === $this->state( $grant ) ) {
								$this->renew( $grant, $email );
								break;
							}
						}
					},
					PHP_INT_MAX
				);
			}
			// Without contact(), which hides the seller's address differently every time: this
			// page is the same, byte for byte, whatever was typed.
			$this->page(
				200,
				__( 'Check your e-mail', '#prefix#' ),
				'<p>' . esc_html__( 'If this address bought the product, a new personal link is on its way to it, and the link sent before no longer works.', '#prefix#' ) . '</p>'
				. '<p>' . esc_html__( 'If nothing arrives within a few minutes, look in your spam folder, or check that you typed the address you paid with.', '#prefix#' ) . '</p>'
			);
		}
	};
};

<?php
defined( 'ABSPATH' ) || exit;

// Lemon Squeezy's webhook: a paid order makes the buyer's grant, a full refund revokes it. Only a
// notification signed with the secret the seller chose counts.
return static function ( array $ostrel, $grants ) {
	return new class( $ostrel, $grants ) {
		const PAID     = 'order_created';
		const REFUNDED = 'order_refunded';
		// Lemon Squeezy takes secrets of 6 to 40 characters; a short one is easier to guess.
		const SECRET = '/^[!-~]{16,40}$/';
		const UUID   = '/^[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$/';

		/** @var array */
		private $ostrel;
		private $grants;

		public function __construct( array $ostrel, $grants ) {
			$this->ostrel = $ostrel;
			$this->grants = $grants;
		}

		public function register() {
			$this->grants->add_route( 'lemonsqueezy', array( $this, 'receive' ) );
		}

		/** The address the seller gives Lemon Squeezy as the webhook's callback URL. */
		public function url() {
			return $this->grants->route_url( 'lemonsqueezy' );
		}

		public function events() {
			return array( self::PAID, self::REFUNDED );
		}

		public function secret() {
			$secret = get_option( $this->ostrel['lemonsqueezy_secret_option'], '' );
			return is_string( $secret ) ? $secret : '';
		}

		public function ready() {
			return '' !== $this->secret();
		}

		/** Unix time of the last notification whose signature held, or 0. */
		public function last_seen() {
			return (int) get_option( $this->ostrel['lemonsqueezy_last_option'], 0 );
		}

		/** Makes the options, unless they exist, without autoload: only a notification and the menu read them. */
		public function ensure_options() {
			foreach ( array( 'lemonsqueezy_secret_option', 'lemonsqueezy_last_option' ) as $key ) {
				add_option( $this->ostrel[ $key ], '', '', false );
			}
		}

		/** A random secret the menu offers, for the seller to type into both places. */
		public function suggestion() {
			return wp_generate_password( 32, false );
		}

		/**
		 * The secret's field is never filled in: left empty it keeps the saved secret, a new one
		 * replaces it, and one too short, too long or with spaces, "%", "<" or ">" is refused
		 * with a note.
		 */
		public function register_settings() {
			register_setting(
				$this->ostrel['option_group'],
				$this->ostrel['lemonsqueezy_secret_option'],
				array(
					'type'              => 'string',
					'sanitize_callback' => function ( $value ) {
						$value = is_string( $value ) ? trim( $value ) : '';
						if ( '' === $value ) {
							return $this->secret();
						}
						if ( sanitize_text_field( $value ) !== $value || preg_match( '/[%<>]/', $value ) || ! preg_match( self::SECRET, $value ) ) {
							if ( function_exists( 'add_settings_error' ) ) {
								add_settings_error( $this->ostrel['lemonsqueezy_secret_option'], $this->ostrel['lemonsqueezy_secret_option'] . '_shape', esc_html__( 'A Lemon Squeezy signing secret here must be 16 to 40 characters, without spaces, "%", "<" or ">", so the saved one was kept.', '#prefix#' ) );
							}
							return $this->secret();
						}
						return $value;
					},
				)
			);
		}

		/** The secret as the menu shows it: its end only. */
		public function masked_secret() {
			$secret = $this->secret();
			return '' === $secret ? '' : '…' . substr( $secret, -4 );
		}

		/** Whether the X-Signature header is the hex HMAC-SHA256 of the body under the secret. */
		public function verify( $header, $body, $secret ) {
			$header = strtolower( trim( (string) $header ) );
			return (bool) preg_match( '/^[0-9a-f]{64}$/', $header ) && hash_equals( hash_hmac( 'sha256', $body, $secret ), $header );
		}

		/** Answers one notification; nothing changes unless its signature holds. */
		public function receive( WP_REST_Request $request ) {
			$secret = $this->secret();
			if ( '' === $secret ) {
				return new WP_Error( 'ostrel_not_set_up', 'No signing secret is set up for this endpoint.', array( 'status' => 401 ) );
			}
			$body = (string) $request->get_body();
			if ( ! $this->verify( $request->get_header( 'x_signature' ), $body, $secret ) ) {
				return new WP_Error( 'ostrel_signature_mismatch', 'The X-Signature header does not verify.', array( 'status' => 401 ) );
			}
			$event = json_decode( $body, true );
			if ( ! is_array( $event ) || ! isset( $event['meta']['event_name'] ) || ! is_string( $event['meta']['event_name'] )
				|| ! isset( $event['data']['attributes'] ) || ! is_array( $event['data']['attributes'] ) ) {
				return new WP_Error( 'ostrel_not_an_event', 'The body is not a Lemon Squeezy event.', array( 'status' => 400 ) );
			}
			update_option( $this->ostrel['lemonsqueezy_last_option'], time(), false );
			$type = $event['meta']['event_name'];
			if ( ! in_array( $type, $this->events(), true ) ) {
				return $this->answer( 'ignored' );
			}
			$order      = $event['data']['attributes'];
			$id         = isset( $event['data']['id'] ) && is_scalar( $event['data']['id'] ) ? (string) $event['data']['id'] : '';
			$identifier = isset( $order['identifier'] ) && is_string( $order['identifier'] ) ? strtolower( $order['identifier'] ) : '';
			if ( ! preg_match( '/^\d{1,20}$/', $id ) || ! preg_match( self::UUID, $identifier ) ) {
				return new WP_Error( 'ostrel_not_an_order', 'The event names no order.', array( 'status' => 400 ) );
			}
			$status = isset( $order['status'] ) ? $order['status'] : '';
			// Decided before the event is remembered: a partial refund and the full one after it
			// are both order_refunded for the same order.
			if ( self::REFUNDED === $type && true !== ( isset( $order['refunded'] ) ? $order['refunded'] : null ) && 'refunded' !== $status ) {
				return $this->answer( 'ignored' );
			}
			if ( self::PAID === $type && 'paid' !== $status ) {
				return $this->answer( 'not paid' );
			}
			$name = 'lemonsqueezy|' . $type . '|' . $id;
			$new  = $this->grants->remember( $name );
			if ( null === $new ) {
				return $this->failed();
			}
			if ( ! $new ) {
				return $this->answer( 'duplicate' );
			}
			if ( self::REFUNDED === $type ) {
				$result = $this->grants->revoke_payment( 'lemonsqueezy', $id );
				$done   = 'revoked';
			} else {
				// The order is known by its identifier, which the return from checkout carries.
				$email   = isset( $order['user_email'] ) && is_string( $order['user_email'] ) ? $order['user_email'] : '';
				$product = isset( $this->ostrel['name'] ) ? $this->ostrel['name'] : get_bloginfo( 'name' );
				$result  = $this->grants->grant( 'lemonsqueezy', $identifier, $id, $email, $product );
				$done    = $result;
			}
			if ( null === $result || false === $result ) {
				$this->grants->forget( $name );
				return $this->failed();
			}
			return $this->answer( $done );
		}

		private function answer( $result ) {
			return new WP_REST_Response( array( 'result' => $result ), 200 );
		}

		/** Lemon Squeezy tries again, three times, when the answer is not a 200. */
		private function failed() {
			return new WP_Error( 'ostrel_failed', 'The notification could not be stored; please retry.', array( 'status' => 500 ) );
		}
	};
};

<?php
defined( 'ABSPATH' ) || exit;

// Stripe's notifications of payments and refunds: a paid checkout makes the buyer's grant, a
// refund revokes it. Only a notification signed with the seller's endpoint secret counts.
return static function ( array $ostrel, $grants ) {
	return new class( $ostrel, $grants ) {
		// Stripe's own libraries refuse a signature older (or newer) than five minutes.
		const TOLERANCE = 300;
		const PAID      = array( 'checkout.session.completed', 'checkout.session.async_payment_succeeded' );
		const REFUNDED  = 'charge.refunded';

		/** @var array */
		private $ostrel;
		private $grants;

		public function __construct( array $ostrel, $grants ) {
			$this->ostrel = $ostrel;
			$this->grants = $grants;
		}

		public function register() {
			$this->grants->add_route( 'stripe', array( $this, 'receive' ) );
		}

		/** The address the seller gives Stripe. */
		public function url() {
			return $this->grants->route_url( 'stripe' );
		}

		public function events() {
			return array_merge( self::PAID, array( self::REFUNDED ) );
		}

		public function secret() {
			$secret = get_option( $this->ostrel['stripe_secret_option'], '' );
			return is_string( $secret ) ? $secret : '';
		}

		/** Unix time of the last notification whose signature held, or 0. */
		public function last_seen() {
			return (int) get_option( $this->ostrel['stripe_last_option'], 0 );
		}

		/**
		 * The secret's field is never filled in: left empty it keeps the saved secret, a new
		 * one replaces it, and anything not shaped like a Stripe secret is refused with a note.
		 */
		public function register_settings() {
			register_setting(
				$this->ostrel['option_group'],
				$this->ostrel['stripe_secret_option'],
				array(
					'type'              => 'string',
					'sanitize_callback' => function ( $value ) {
						$value = is_string( $value ) ? trim( sanitize_text_field( $value ) ) : '';
						if ( '' === $value ) {
							return $this->secret();
						}
						if ( ! preg_match( '/^whsec_[A-Za-z0-9+\/=_-]{16,200}$/', $value ) ) {
							if ( function_exists( 'add_settings_error' ) ) {
								add_settings_error( $this->ostrel['stripe_secret_option'], $this->ostrel['stripe_secret_option'] . '_shape', esc_html__( 'That is not a Stripe signing secret (it starts with whsec_), so the saved one was kept.', '#prefix#' ) );
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
			return '' === $secret ? '' : 'whsec_…' . substr( $secret, -4 );
		}

		/**
		 * Checks the Stripe-Signature header: "t=<unix time>,v1=<hex>[,v1=<hex>…]", each v1 an
		 * HMAC-SHA256 of "<t>.<body>" under the endpoint's secret; any one may match, as Stripe
		 * sends one per secret while a secret is being rolled.
		 *
		 * @return string 'ok', 'malformed', 'stale' or 'mismatch'.
		 */
		public function verify( $header, $body, $secret, $now ) {
			$time       = null;
			$signatures = array();
			foreach ( explode( ',', (string) $header ) as $part ) {
				$pair = explode( '=', trim( $part ), 2 );
				if ( 2 !== count( $pair ) ) {
					continue;
				}
				if ( 't' === $pair[0] && null === $time && preg_match( '/^\d{1,12}$/', $pair[1] ) ) {
					$time = (int) $pair[1];
				} elseif ( 'v1' === $pair[0] && preg_match( '/^[0-9a-f]{64}$/', $pair[1] ) ) {
					$signatures[] = $pair[1];
				}
			}
			if ( null === $time || ! $signatures ) {
				return 'malformed';
			}
			$expected = hash_hmac( 'sha256', $time . '.' . $body, $secret );
			$matched  = false;
			foreach ( $signatures as $signature ) {
				$matched = hash_equals( $expected, $signature ) || $matched;
			}
			if ( ! $matched ) {
				return 'mismatch';
			}
			return abs( $now - $time ) > self::TOLERANCE ? 'stale' : 'ok';
		}

		/** Answers one notification; nothing changes unless its signature holds. */
		public function receive( WP_REST_Request $request ) {
			$secret = $this->secret();
			if ( '' === $secret ) {
				return new WP_Error( 'ostrel_not_set_up', 'No signing secret is set up for this endpoint.', array( 'status' => 401 ) );
			}
			$body    = (string) $request->get_body();
			$checked = $this->verify( (string) $request->get_header( 'stripe_signature' ), $body, $secret, time() );
			if ( 'ok' !== $checked ) {
				$status = 'mismatch' === $checked ? 401 : 400;
				return new WP_Error( 'ostrel_signature_' . $checked, 'The Stripe-Signature header does not verify: ' . $checked . '.', array( 'status' => $status ) );
			}
			$event = json_decode( $body, true );
			if ( ! is_array( $event ) || empty( $event['id'] ) || ! is_string( $event['id'] ) || empty( $event['type'] ) || ! is_string( $event['type'] )
				|| ! isset( $event['data']['object'] ) || ! is_array( $event['data']['object'] ) ) {
				return new WP_Error( 'ostrel_not_an_event', 'The body is not a Stripe event.', array( 'status' => 400 ) );
			}
			update_option( $this->ostrel['stripe_last_option'], time(), false );
			if ( ! in_array( $event['type'], $this->events(), true ) ) {
				return $this->answer( 'ignored' );
			}
			$name = 'stripe|' . $event['id'];
			$new  = $this->grants->remember( $name );
			if ( null === $new ) {
				return $this->failed();
			}
			if ( ! $new ) {
				return $this->answer( 'duplicate' );
			}
			$object  = $event['data']['object'];
			$payment = isset( $object['payment_intent'] ) && is_string( $object['payment_intent'] ) ? sanitize_text_field( $object['payment_intent'] ) : '';
			if ( self::REFUNDED === $event['type'] ) {
				// A partial refund leaves the purchase standing; only a full one ends it.
				if ( '' === $payment || empty( $object['refunded'] ) ) {
					return $this->answer( 'ignored' );
				}
				// null: the store failed; false: the update failed. Either way Stripe sends it again.
				$revoked = $this->grants->revoke_payment( 'stripe', $payment );
				if ( null === $revoked || false === $revoked ) {
					$this->grants->forget( $name );
					return $this->failed();
				}
				return $this->answer( 'revoked' );
			}
			// "unpaid" is a payment still on its way; its async_payment_succeeded comes later. A
			// checkout with nothing to pay (a full discount) is a purchase too.
			$session = isset( $object['id'] ) && is_string( $object['id'] ) ? sanitize_text_field( $object['id'] ) : '';
			$status  = isset( $object['payment_status'] ) ? $object['payment_status'] : '';
			if ( ! in_array( $status, array( 'paid', 'no_payment_required' ), true ) || ! preg_match( '/^cs_[A-Za-z0-9_]{8,250}$/', $session ) ) {
				return $this->answer( 'not paid' );
			}
			$email = '';
			if ( isset( $object['customer_details']['email'] ) && is_string( $object['customer_details']['email'] ) ) {
				$email = $object['customer_details']['email'];
			} elseif ( isset( $object['customer_email'] ) && is_string( $object['customer_email'] ) ) {
				$email = $object['customer_email'];
			}
			$name_of_product = isset( $this->ostrel['name'] ) ? $this->ostrel['name'] : get_bloginfo( 'name' );
			$result          = $this->grants->grant( 'stripe', $session, $payment, $email, $name_of_product );
			if ( null === $result ) {
				$this->grants->forget( $name );
				return $this->failed();
			}
			return $this->answer( $result );
		}

		private function answer( $result ) {
			return new WP_REST_Response( array( 'result' => $result ), 200 );
		}

		/** Stripe tries again later when the answer is not a 2xx. */
		private function failed() {
			return new WP_Error( 'ostrel_failed', 'The notification could not be stored; please retry.', array( 'status' => 500 ) );
		}
	};
};

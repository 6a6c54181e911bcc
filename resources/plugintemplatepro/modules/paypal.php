<?php
defined( 'ABSPATH' ) || exit;

// PayPal's Instant Payment Notifications: a completed payment to the seller's PayPal address
// makes the buyer's grant, a refund or reversal revokes it. PayPal signs nothing: a message
// counts only once PayPal itself, asked with the message as it came, calls it VERIFIED.
return static function ( array $ostrel, $grants ) {
	return new class( $ostrel, $grants ) {
		const LIVE     = 'https://ipnpb.paypal.com/cgi-bin/webscr';
		const SANDBOX  = 'https://ipnpb.sandbox.paypal.com/cgi-bin/webscr';
		const PAID     = 'Completed';
		const REFUNDED = array( 'Refunded', 'Reversed' );
		// PayPal gives up on a listener that keeps it waiting for about half a minute.
		const TIMEOUT = 20;
		// Transaction ids are 17 letters and digits; a little leeway costs nothing.
		const TXN = '/^[A-Z0-9]{10,32}$/';

		/** @var array */
		private $ostrel;
		private $grants;

		public function __construct( array $ostrel, $grants ) {
			$this->ostrel = $ostrel;
			$this->grants = $grants;
		}

		public function register() {
			$this->grants->add_route( 'paypal', array( $this, 'receive' ) );
			// PayPal wants a plain 200, nothing more.
			add_filter(
				'rest_pre_serve_request',
				function ( $served, $result, $request, $server ) {
					if ( $served || ! $request instanceof WP_REST_Request || '/' . $this->ostrel['rest_namespace'] . '/paypal' !== $request->get_route()
						|| ! $result instanceof WP_HTTP_Response || 200 !== $result->get_status() ) {
						return $served;
					}
					$server->send_header( 'Content-Type', 'text/plain; charset=utf-8' );
					return true;
				},
				10,
				4
			);
		}

		/** The address the seller gives PayPal as the notification URL. */
		public function url() {
			return $this->grants->route_url( 'paypal' );
		}

		/** The seller's PayPal address, or '' when PayPal is not set up. */
		public function email() {
			$email = get_option( $this->ostrel['paypal_email_option'], '' );
			return is_string( $email ) ? $email : '';
		}

		public function ready() {
			return '' !== $this->email();
		}

		public function sandbox() {
			return '1' === (string) get_option( $this->ostrel['paypal_sandbox_option'], '' );
		}

		/** The price a payment must reach, as "19.00", or '' for any. */
		public function price() {
			$price = get_option( $this->ostrel['paypal_price_option'], '' );
			return is_string( $price ) ? $price : '';
		}

		/** The currency a payment must be in, as "EUR", or '' for any. */
		public function currency() {
			$currency = get_option( $this->ostrel['paypal_currency_option'], '' );
			return is_string( $currency ) ? $currency : '';
		}

		/** Unix time of the last message PayPal called VERIFIED, or 0. */
		public function last_seen() {
			return (int) get_option( $this->ostrel['paypal_last_option'], 0 );
		}

		/** Makes the options, unless they exist, without autoload: only a notification and the menu read them. */
		public function ensure_options() {
			foreach ( array( 'paypal_email_option', 'paypal_sandbox_option', 'paypal_price_option', 'paypal_currency_option', 'paypal_last_option' ) as $key ) {
				add_option( $this->ostrel[ $key ], '', '', false );
			}
		}

		/**
		 * A form that leaves a field out (an older copy of the menu) keeps what was set; a value
		 * that is not an address, a price or a currency is refused with a note.
		 */
		public function register_settings() {
			$fields = array(
				'paypal_email_option'    => static function ( $value ) {
					$email = sanitize_email( $value );
					if ( '' === $value ) {
						return '';
					}
					return '' !== $email && is_email( $email ) ? strtolower( $email ) : null;
				},
				'paypal_sandbox_option'  => static function ( $value ) {
					return '1' === $value ? '1' : '';
				},
				'paypal_price_option'    => static function ( $value ) {
					$value = str_replace( ',', '.', $value );
					return '' === $value || preg_match( '/^\d{1,10}(\.\d{1,2})?$/', $value ) ? ( '' === $value ? '' : number_format( (float) $value, 2, '.', '' ) ) : null;
				},
				'paypal_currency_option' => static function ( $value ) {
					$value = strtoupper( $value );
					return '' === $value || preg_match( '/^[A-Z]{3}$/', $value ) ? $value : null;
				},
			);
			$refused = array(
				'paypal_email_option'    => __( 'That is not an e-mail address, so the saved PayPal address was kept.', '#prefix#' ),
				'paypal_sandbox_option'  => '',
				'paypal_price_option'    => __( 'That is not a price (such as 19.00), so the saved one was kept.', '#prefix#' ),
				'paypal_currency_option' => __( 'That is not a currency code (three letters, such as EUR), so the saved one was kept.', '#prefix#' ),
			);
			foreach ( $fields as $key => $clean ) {
				$name = $this->ostrel[ $key ];
				register_setting(
					$this->ostrel['option_group'],
					$name,
					array(
						'type'              => 'string',
						'sanitize_callback' => static function ( $value ) use ( $name, $clean, $refused, $key ) {
							$saved = (string) get_option( $name, '' );
							if ( null === $value ) {
								return $saved;
							}
							$cleaned = $clean( trim( sanitize_text_field( (string) $value ) ) );
							if ( null === $cleaned ) {
								if ( function_exists( 'add_settings_error' ) ) {
									add_settings_error( $name, $name . '_shape', esc_html( $refused[ $key ] ) );
								}
								return $saved;
							}
							return $cleaned;
						},
					)
				);
			}
		}

		/**
		 * The message's fields, as PayPal form-encodes them, or null when the body is not such a
		 * message. Read by hand: parse_str() would turn dots and brackets in names into arrays.
		 */
		public function fields( $body ) {
			if ( '' === $body || strlen( $body ) > 65536 ) {
				return null;
			}
			$fields = array();
			foreach ( explode( '&', $body ) as $pair ) {
				if ( '' === $pair ) {
					continue;
				}
				$parts = explode( '=', $pair, 2 );
				$name  = urldecode( $parts[0] );
				if ( ! preg_match( '/^[A-Za-z0-9_]{1,64}$/', $name ) ) {
					return null;
				}
				$fields[ $name ] = isset( $parts[1] ) ? urldecode( $parts[1] ) : '';
			}
			return isset( $fields['txn_id'] ) || isset( $fields['txn_type'] ) || isset( $fields['payment_status'] ) ? $fields : null;
		}

		/**
		 * Asks PayPal about a message, sent back exactly as it came after cmd=_notify-validate.
		 *
		 * @return string 'VERIFIED', 'INVALID' or 'error'.
		 */
		public function validate( $body ) {
			$response = wp_remote_post(
				$this->sandbox() ? self::SANDBOX : self::LIVE,
				array(
					'body'        => 'cmd=_notify-validate&' . $body,
					'timeout'     => self::TIMEOUT,
					'redirection' => 0,
					'httpversion' => '1.1',
					'headers'     => array(
						'Content-Type' => 'application/x-www-form-urlencoded',
						'Connection'   => 'close',
					),
				)
			);
			if ( is_wp_error( $response ) || 200 !== (int) wp_remote_retrieve_response_code( $response ) ) {
				return 'error';
			}
			$answer = trim( (string) wp_remote_retrieve_body( $response ) );
			return in_array( $answer, array( 'VERIFIED', 'INVALID' ), true ) ? $answer : 'error';
		}

		/** An amount such as "19.00" or "-19.00" in hundredths, or null. */
		private function cents( $amount ) {
			return is_string( $amount ) && preg_match( '/^-?\d{1,12}(\.\d{1,2})?$/', trim( $amount ) ) ? (int) round( abs( (float) $amount ) * 100 ) : null;
		}

		/** Answers one message; nothing changes unless PayPal calls it VERIFIED. */
		public function receive( WP_REST_Request $request ) {
			$body   = (string) $request->get_body();
			$fields = $this->fields( $body );
			if ( null === $fields ) {
				return new WP_Error( 'ostrel_not_a_message', 'The body is not a PayPal notification.', array( 'status' => 400 ) );
			}
			$seller = $this->email();
			if ( '' === $seller ) {
				// Not a 2xx: PayPal tries again for days, by when the seller may have set it up.
				return new WP_Error( 'ostrel_not_set_up', 'No PayPal address is set up for this endpoint.', array( 'status' => 503 ) );
			}
			$answer = $this->validate( $body );
			if ( 'error' === $answer ) {
				// PayPal could not be asked: it sends the message again later.
				return new WP_Error( 'ostrel_not_validated', 'PayPal could not be asked about the notification; please retry.', array( 'status' => 503 ) );
			}
			if ( 'VERIFIED' !== $answer ) {
				return $this->answer();
			}
			update_option( $this->ostrel['paypal_last_option'], time(), false );
			$value    = static function ( $name ) use ( $fields ) {
				return isset( $fields[ $name ] ) ? trim( $fields[ $name ] ) : '';
			};
			$status   = $value( 'payment_status' );
			$txn      = strtoupper( $value( 'txn_id' ) );
			$receiver = strtolower( $value( 'receiver_email' ) );
			if ( $receiver !== $seller || ! preg_match( self::TXN, $txn ) || ( self::PAID !== $status && ! in_array( $status, self::REFUNDED, true ) ) ) {
				return $this->answer();
			}
			$price = '' === $this->price() ? null : $this->cents( $this->price() );
			$paid  = $this->cents( $value( 'mc_gross' ) );
			if ( self::PAID === $status ) {
				// A price reached, in the seller's currency: a button whose amount was edited down gives nothing.
				if ( ( null !== $price && ( null === $paid || $paid < $price ) )
					|| ( '' !== $this->currency() && strtoupper( $value( 'mc_currency' ) ) !== $this->currency() ) ) {
					return $this->answer();
				}
			} else {
				$parent = strtoupper( $value( 'parent_txn_id' ) );
				// A refund smaller than the price leaves the purchase standing, as with Stripe.
				if ( ! preg_match( self::TXN, $parent ) || ( null !== $price && null !== $paid && $paid < $price ) ) {
					return $this->answer();
				}
			}
			// One message per transaction and status: PayPal repeats a message until it gets a 200.
			$name = 'paypal|' . $txn . '|' . $status;
			$new  = $this->grants->remember( $name );
			if ( null === $new ) {
				return $this->failed();
			}
			if ( ! $new ) {
				return $this->answer();
			}
			if ( self::PAID === $status ) {
				$product = isset( $this->ostrel['name'] ) ? $this->ostrel['name'] : get_bloginfo( 'name' );
				$result  = $this->grants->grant( 'paypal', $txn, $txn, $value( 'payer_email' ), $product );
			} else {
				$result = $this->grants->revoke_payment( 'paypal', $parent );
			}
			if ( null === $result || false === $result ) {
				$this->grants->forget( $name );
				return $this->failed();
			}
			return $this->answer();
		}

		private function answer() {
			return new WP_REST_Response( null, 200 );
		}

		/** PayPal tries again later when the answer is not a 200. */
		private function failed() {
			return new WP_Error( 'ostrel_failed', 'The notification could not be stored; please retry.', array( 'status' => 500 ) );
		}
	};
};

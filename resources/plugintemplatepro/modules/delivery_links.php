<?php
defined( 'ABSPATH' ) || exit;

// Expiring download links: the download page's links to the product's files become signed links
// to this handler, which streams the file from the private store while the link is valid. For
// verified buyers a link also names the buyer's grant, which must still allow the download.
return static function ( array $ostrel, $store, $grants = null ) {
	return new class( $ostrel, $store, $grants ) {
		const DEFAULT_LIFETIME = 1440; // minutes
		const MAX_LIFETIME     = 5259600; // ten years, in minutes
		const CHUNK            = 1048576;

		/** @var array */
		private $ostrel;
		private $store;
		private $grants;
		/** @var string[]|null The plugin folder's address paths, and this site's host names. */
		private $bases;
		private $hosts;

		public function __construct( array $ostrel, $store, $grants ) {
			$this->ostrel = $ostrel;
			$this->store  = $store;
			$this->grants = $grants;
		}

		public function grants() {
			if ( null === $this->grants ) {
				$this->grants = ( require __DIR__ . '/grants.php' )( $this->ostrel );
			}
			return $this->grants;
		}

		/** Minutes a link stays valid: a day unless the site owner chose otherwise. */
		public function lifetime() {
			$minutes = get_option( $this->ostrel['lifetime_option'], self::DEFAULT_LIFETIME );
			return is_numeric( $minutes ) ? (int) max( 1, min( self::MAX_LIFETIME, (float) $minutes ) ) : self::DEFAULT_LIFETIME;
		}

		/** A whole number of minutes from one minute to ten years; more is cut to ten years, and the owner is told. */
		public function sanitize_lifetime( $value ) {
			if ( ! is_numeric( $value ) ) {
				return $this->lifetime();
			}
			// As a float first: on 32-bit PHP a large number would wrap as an integer.
			$minutes = (float) $value;
			if ( $minutes > self::MAX_LIFETIME && function_exists( 'add_settings_error' ) ) {
				add_settings_error(
					$this->ostrel['lifetime_option'],
					$this->ostrel['lifetime_option'] . '_clamped',
					/* translators: %s: the longest lifetime, in minutes. */
					esc_html( sprintf( __( 'Download links can stay valid for ten years at most, so they now stay valid for %s minutes.', '#prefix#' ), number_format_i18n( self::MAX_LIFETIME ) ) ),
					'warning'
				);
			}
			return (int) max( 1, min( self::MAX_LIFETIME, floor( $minutes ) ) );
		}

		/** Makes the signing secret at activation; an existing one is kept. */
		public function ensure_secret() {
			if ( '' === $this->secret() ) {
				$this->renew_secret();
			}
		}

		/** A new secret: every link handed out so far stops working. */
		public function renew_secret() {
			update_option( $this->ostrel['secret_option'], wp_generate_password( 64, true, true ), false );
		}

		/** A signed link to delivery file number $number, valid for the lifetime from now; for a grant's holder when one is given. */
		public function url( $number, $grant = '' ) {
			$expires = time() + 60 * $this->lifetime();
			// Past the largest integer (32-bit PHP, from 2038) the sum would be a float.
			return $this->link( $number, is_int( $expires ) ? $expires : PHP_INT_MAX, $grant );
		}

		/** A signed link to delivery file number $number that works until $expires (Unix time), through the grant when one is given. */
		public function link( $number, $expires, $grant = '' ) {
			$this->ensure_secret();
			$files = $this->store->files();
			$path  = isset( $files[ $number ] ) ? $files[ $number ] : '';
			$key   = $this->file_key( $path );
			$bound = '' === $grant ? '' : $grant . '.';
			$value = $key . '.' . $expires . '.' . $bound . $this->signature( $key, $path, $expires, $grant );
			return add_query_arg( $this->ostrel['download_arg'], $value, home_url( '/' ) );
		}

		/**
		 * What a link calls a file: a keyed hash of its path, which stays the same when a newer
		 * version lists its files in another order, and tells nothing of the path.
		 */
		private function file_key( $path ) {
			return substr( hash_hmac( 'sha256', 'file|' . $path, $this->secret() . wp_salt( 'auth' ) ), 0, 16 );
		}

		/** The page's links to delivery files, in whatever address form, made into signed links, bound to the grant when one is given. */
		public function rewrite( $html, $grant = '' ) {
			$files = $this->store->files();
			if ( ! $files ) {
				return $html;
			}
			$numbers = array_flip( $files );
			$signed  = array();
			return preg_replace_callback(
				'/"([^"<>\r\n]*)"|\'([^\'<>\r\n]*)\'/',
				function ( $match ) use ( $numbers, &$signed, $grant ) {
					$quote = $match[0][0];
					$path  = $this->plugin_path( '"' === $quote ? $match[1] : $match[2] );
					if ( null === $path || ! isset( $numbers[ $path ] ) ) {
						return $match[0];
					}
					$number = $numbers[ $path ];
					if ( ! isset( $signed[ $number ] ) ) {
						$signed[ $number ] = esc_url( $this->url( $number, $grant ) );
					}
					return $quote . $signed[ $number ] . $quote;
				},
				$html
			);
		}

		/**
		 * Files of the plugin's folder the HTML links to that are neither delivered nor there: a
		 * product file an earlier version delivered, say, whose link would now answer "not found".
		 *
		 * @return string[] Their paths, relative to modules/template.
		 */
		public function gone_links( $html ) {
			preg_match_all( '/\b(?:href|src|action|formaction)\s*=\s*(?:"([^"]*)"|\'([^\']*)\'|([^\s"\'>]+))/i', (string) $html, $matches, PREG_SET_ORDER );
			$files = $this->store->files();
			$gone  = array();
			foreach ( $matches as $match ) {
				$path = $this->plugin_path( implode( '', array_slice( $match, 1 ) ) );
				// A plain path without an extension is more likely a page of the site than a file.
				if ( null === $path || '' === pathinfo( $path, PATHINFO_EXTENSION )
					|| in_array( $path, $files, true ) || is_file( $this->store->template_path( $path ) ) ) {
					continue;
				}
				$gone[ $path ] = true;
			}
			return array_keys( $gone );
		}

		/**
		 * The path under modules/template an address names, in whatever form a page or the seller
		 * writes it (the plugin's address on this site, or a plain relative path), or null.
		 */
		private function plugin_path( $address ) {
			if ( null === $this->bases ) {
				$this->bases = array_unique(
					array(
						(string) wp_parse_url( get_bloginfo( 'wpurl' ) . '/wp-content/plugins/' . $this->ostrel['id'] . '/modules/template/', PHP_URL_PATH ),
						(string) wp_parse_url( plugins_url( 'modules/template/', __DIR__ ), PHP_URL_PATH ),
					)
				);
				$this->hosts = array_map( 'strtolower', array( (string) wp_parse_url( home_url(), PHP_URL_HOST ), (string) wp_parse_url( site_url(), PHP_URL_HOST ) ) );
			}
			$url   = html_entity_decode( (string) $address, ENT_QUOTES | ENT_HTML5, 'UTF-8' );
			$parts = wp_parse_url( trim( $url ) );
			if ( ! is_array( $parts ) || empty( $parts['path'] ) || ( isset( $parts['scheme'] ) && ! isset( $parts['host'] ) )
				|| ( isset( $parts['host'] ) && ! in_array( strtolower( $parts['host'] ), $this->hosts, true ) ) ) {
				return null;
			}
			$path = rawurldecode( $parts['path'] );
			// A plain path, as a seller may type it into the download button's HTML.
			if ( ! isset( $parts['host'] ) && '/' !== $path[0] ) {
				return $path;
			}
			foreach ( $this->bases as $base ) {
				if ( 0 === strpos( $path, $base ) ) {
					return substr( $path, strlen( $base ) );
				}
			}
			return null;
		}

		/** Answers a request for a download link, if this is one, and ends it. */
		public function maybe_serve() {
			// Buyers follow these links from an email or the payment provider's page, with no
			// session and so no nonce: the link's signature is what proves it.
			$arg = $this->ostrel['download_arg'];
			if ( ! isset( $_GET[ $arg ] ) ) { // phpcs:ignore WordPress.Security.NonceVerification.Recommended -- a signed link stands in for a nonce
				return;
			}
			$value   = is_string( $_GET[ $arg ] ) ? sanitize_text_field( wp_unslash( $_GET[ $arg ] ) ) : ''; // phpcs:ignore WordPress.Security.NonceVerification.Recommended -- a signed link stands in for a nonce
			$expired = false;
			$grant   = '';
			$path    = $this->verify( $value, $expired, $grant );
			// For verified buyers only, a link not bound to a grant opens nothing.
			if ( null !== $path && '' === $grant && $this->grants()->buyers_only() ) {
				$path = null;
			}
			$file = null === $path ? '' : $this->source( $path );
			if ( '' === $file ) {
				$this->refuse( $expired );
			}
			$this->stream( $file, $path, $grant );
			exit;
		}

		/**
		 * The delivery file a link names when its signature holds and it has not expired; $expired
		 * tells whether a link refused was a sound one whose time had passed, $grant which grant
		 * the link is bound to ('' for none).
		 */
		private function verify( $value, &$expired, &$grant ) {
			$expired = false;
			$grant   = '';
			if ( ! preg_match( '/^([0-9a-f]{16})\.(\d{1,12})\.(?:([0-9a-f]{32})\.)?([0-9a-f]{64})$/', $value, $m ) ) {
				return null;
			}
			$path = null;
			foreach ( $this->store->files() as $file ) {
				if ( hash_equals( $this->file_key( $file ), $m[1] ) ) {
					$path = $file;
					break;
				}
			}
			if ( null === $path || ! hash_equals( $this->signature( $m[1], $path, $m[2], $m[3] ), $m[4] ) ) {
				return null;
			}
			$grant   = $m[3];
			$expired = (int) $m[2] < time();
			return $expired ? null : $path;
		}

		/** The file to send: its private copy, or while it could not be moved, the public one. */
		private function source( $path ) {
			foreach ( array( $this->store->stored_path( $path ), $this->store->public_path( $path ) ) as $file ) {
				if ( '' !== $file && is_file( $file ) ) {
					return $file;
				}
			}
			return '';
		}

		/**
		 * Signs the file's key, its path and the expiry, so a link names one file until one time;
		 * and the grant, so a buyer's link serves that buyer's allowance only.
		 */
		private function signature( $file_key, $path, $expires, $grant = '' ) {
			$key = $this->secret() . wp_salt( 'auth' );
			return hash_hmac( 'sha256', $this->ostrel['slug'] . '|' . $file_key . '|' . $path . '|' . $expires . ( '' === $grant ? '' : '|' . $grant ), $key );
		}

		private function secret() {
			$secret = get_option( $this->ostrel['secret_option'], '' );
			return is_string( $secret ) ? $secret : '';
		}

		/**
		 * Ends the request with a page that tells the buyer what happened and what to do, and
		 * nothing else: "expired" only for a sound link whose time has passed.
		 */
		private function refuse( $expired ) {
			nocache_headers();
			header( 'X-Robots-Tag: noindex, nofollow' );
			if ( $expired ) {
				$heading = __( 'This download link has expired', '#prefix#' );
				$reason  = __( 'Download links work for a limited time only.', '#prefix#' );
				$title   = __( 'Download link expired', '#prefix#' );
			} else {
				$heading = __( 'This download link is no longer valid', '#prefix#' );
				$reason  = __( 'It is not complete, or the links given out before it were replaced.', '#prefix#' );
				$title   = __( 'Download link not valid', '#prefix#' );
			}
			wp_die(
				'<h1>' . esc_html( $heading ) . '</h1>'
				. '<p>' . esc_html( $reason ) . '</p>'
				. '<p>' . esc_html__( 'Please open your download page again: it gives you a fresh link.', '#prefix#' ) . '</p>',
				esc_html( $title ),
				array( 'response' => 403 )
			);
		}

		/** Sends the file, or the single range asked for, a chunk at a time; through the grant's allowance when one is given. */
		private function stream( $file, $path, $grant = '' ) {
			$size = @filesize( $file );
			if ( false !== $size && '' !== $grant ) {
				list( $status, $start ) = $this->range( $size );
				$head                   = isset( $_SERVER['REQUEST_METHOD'] ) && 'HEAD' === $_SERVER['REQUEST_METHOD'];
				$this->grants()->admit( $grant, $path, $start, ! $head && 416 !== $status );
			}
			// phpcs:ignore WordPress.WP.AlternativeFunctions.file_system_operations_fopen, WordPress.PHP.NoSilencedErrors.Discouraged -- a byte range is read a chunk at a time, which WordPress's file API cannot; a failure is answered below
			$handle = false === $size ? false : @fopen( $file, 'rb' );
			if ( false === $handle ) {
				nocache_headers();
				wp_die( esc_html__( 'The file cannot be read right now. Please try again later.', '#prefix#' ), esc_html__( 'Download failed', '#prefix#' ), array( 'response' => 500 ) );
			}
			list( $status, $start, $end ) = $this->range( $size );
			$head                         = isset( $_SERVER['REQUEST_METHOD'] ) && 'HEAD' === $_SERVER['REQUEST_METHOD'];

			// Nothing between this code and the buyer may hold or squeeze the whole file.
			while ( ob_get_level() > 0 && @ob_end_clean() ) {
				continue;
			}
			// Compression would hold the file in memory and break the byte counts of ranges.
			@ini_set( 'zlib.output_compression', 'Off' ); // phpcs:ignore Squiz.PHP.DiscouragedFunctions.Discouraged, WordPress.PHP.IniSet.Risky, WordPress.PHP.NoSilencedErrors.Discouraged -- for this response only; hosts may forbid it
			if ( function_exists( 'apache_setenv' ) ) {
				@apache_setenv( 'no-gzip', '1' ); // phpcs:ignore WordPress.PHP.DiscouragedPHPFunctions.runtime_configuration_apache_setenv, WordPress.PHP.NoSilencedErrors.Discouraged -- for this response only
			}

			status_header( $status );
			nocache_headers();
			header( 'Cache-Control: private, no-store, no-cache, must-revalidate, max-age=0' );
			header( 'X-Content-Type-Options: nosniff' );
			header( 'X-Robots-Tag: noindex, nofollow' );
			header( 'Accept-Ranges: bytes' );
			if ( 416 === $status ) {
				header( 'Content-Range: bytes */' . $size );
				header( 'Content-Length: 0' );
				fclose( $handle ); // phpcs:ignore WordPress.WP.AlternativeFunctions.file_system_operations_fclose -- the handle opened above
				return;
			}
			$name = basename( $path );
			header( 'Content-Type: ' . $this->content_type( $name ) );
			header( 'Content-Disposition: ' . $this->disposition( $name ) );
			header( 'Content-Length: ' . ( $end - $start + 1 ) );
			if ( 206 === $status ) {
				header( "Content-Range: bytes $start-$end/$size" );
			}
			if ( $head ) {
				fclose( $handle ); // phpcs:ignore WordPress.WP.AlternativeFunctions.file_system_operations_fclose -- the handle opened above
				return;
			}
			if ( 0 === $start ) {
				$this->count( $path );
			}
			if ( function_exists( 'set_time_limit' ) ) {
				@set_time_limit( 0 ); // phpcs:ignore Squiz.PHP.DiscouragedFunctions.Discouraged, WordPress.PHP.NoSilencedErrors.Discouraged -- a large file takes longer than PHP's time limit to reach a slow buyer; hosts may forbid it
			}
			fseek( $handle, $start );
			for ( $left = $end - $start + 1; $left > 0 && ! connection_aborted(); $left -= strlen( $chunk ) ) {
				$chunk = fread( $handle, (int) min( self::CHUNK, $left ) ); // phpcs:ignore WordPress.WP.AlternativeFunctions.file_system_operations_fread -- a chunk at a time, so a large file never fills PHP's memory
				if ( false === $chunk || '' === $chunk ) {
					break;
				}
				echo $chunk; // phpcs:ignore WordPress.Security.EscapeOutput -- file bytes
				flush();
			}
			fclose( $handle ); // phpcs:ignore WordPress.WP.AlternativeFunctions.file_system_operations_fclose -- the handle opened above
		}

		/**
		 * The status and byte span to send: one range when one range is asked for, the whole file
		 * otherwise (several ranges, other units, or a validator this handler does not give).
		 *
		 * @return array{0: int, 1: int, 2: int}
		 */
		private function range( $size ) {
			$whole  = array( 200, 0, $size - 1 );
			$header = isset( $_SERVER['HTTP_RANGE'] ) ? trim( sanitize_text_field( wp_unslash( $_SERVER['HTTP_RANGE'] ) ) ) : '';
			if ( '' === $header || 0 === $size || isset( $_SERVER['HTTP_IF_RANGE'] )
				|| ! preg_match( '/^bytes\s*=\s*(\d*)\s*-\s*(\d*)$/i', $header, $m ) || ( '' === $m[1] && '' === $m[2] ) ) {
				return $whole;
			}
			if ( '' === $m[1] ) {
				$suffix = (int) $m[2];
				return 0 === $suffix ? array( 416, 0, 0 ) : array( 206, max( 0, $size - $suffix ), $size - 1 );
			}
			$start = (int) $m[1];
			$end   = '' === $m[2] ? $size - 1 : min( (int) $m[2], $size - 1 );
			return $start >= $size || $start > $end ? array( 416, 0, 0 ) : array( 206, $start, $end );
		}

		private function content_type( $name ) {
			$extension = strtolower( pathinfo( $name, PATHINFO_EXTENSION ) );
			foreach ( wp_get_mime_types() as $extensions => $type ) {
				if ( '' !== $extension && in_array( $extension, explode( '|', $extensions ), true ) ) {
					return $type;
				}
			}
			return 'application/octet-stream';
		}

		/** An attachment with the file's name; non-ASCII names also go in the RFC 5987 form. */
		private function disposition( $name ) {
			$plain  = preg_replace( '/[^\x20-\x7E]|["\\\\%;]/', '_', $name );
			$header = 'attachment; filename="' . $plain . '"';
			if ( $plain !== $name && seems_utf8( $name ) ) {
				$header .= "; filename*=UTF-8''" . rawurlencode( $name );
			}
			return $header;
		}

		/** The row that counts one file's downloads. */
		private function count_name( $path ) {
			return $this->ostrel['counts_option'] . '_' . md5( $path );
		}

		/** One more download of the file, added in the database itself so concurrent ones all count. */
		private function count( $path ) {
			global $wpdb;
			$name = $this->count_name( $path );
			// One statement, so downloads at the same moment all count; WordPress's option
			// functions would read and write the number apart.
			// phpcs:ignore WordPress.DB.DirectDatabaseQuery.DirectQuery, WordPress.DB.DirectDatabaseQuery.NoCaching -- an atomic increment; the cached value is dropped below
			$wpdb->query(
				$wpdb->prepare(
					"INSERT INTO {$wpdb->options} (option_name, option_value, autoload) VALUES (%s, '1', 'no') ON DUPLICATE KEY UPDATE option_value = option_value + 1",
					$name
				)
			);
			wp_cache_delete( $name, 'options' );
		}

		/** @return array<string, int> Downloads so far, by delivery file. */
		public function counts() {
			global $wpdb;
			// Counts from before they had a row each.
			$counts = get_option( $this->ostrel['counts_option'], array() );
			$counts = is_array( $counts ) ? array_map( 'intval', $counts ) : array();
			foreach ( $this->store->files() as $path ) {
				// phpcs:ignore WordPress.DB.DirectDatabaseQuery.DirectQuery, WordPress.DB.DirectDatabaseQuery.NoCaching -- the count as the increment above left it, never a cached one
				$rows            = (int) $wpdb->get_var( $wpdb->prepare( "SELECT option_value FROM {$wpdb->options} WHERE option_name = %s", $this->count_name( $path ) ) );
				$counts[ $path ] = ( isset( $counts[ $path ] ) ? $counts[ $path ] : 0 ) + $rows;
			}
			return $counts;
		}
	};
};

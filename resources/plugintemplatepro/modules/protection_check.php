<?php
defined( 'ABSPATH' ) || exit;

// Checks on the real host that the web server refuses the product's files. The store's guard
// files work only where the server reads them (Apache allowed to, IIS); nginx reads none. So the
// plugin asks its own site for a file of the store and for a product file's plugin address, as a
// visitor who guessed them would, and tells the owner how to close what answers.
return static function ( array $ostrel, $store ) {
	$check = new class( $ostrel, $store ) {
		// What the site's answer is compared with: enough to know the file, little to fetch.
		const COMPARED = 65536;
		const CANARY   = 'protection-check.txt';
		const TIMEOUT  = 5;

		/** @var array */
		private $ostrel;
		private $store;

		public function __construct( array $ostrel, $store ) {
			$this->ostrel = $ostrel;
			$this->store  = $store;
		}

		/** The admin-post action of "Check again". */
		public function action() {
			return 'ostrel_' . $this->ostrel['slug'] . '_check_protection';
		}

		public function page_url() {
			return admin_url( 'admin.php?page=' . $this->ostrel['menu_slug'] );
		}

		/** What the last check found, or null before the first. */
		public function result() {
			$key    = $this->ostrel['protection_option'];
			$result = is_multisite() ? get_site_option( $key, null ) : get_option( $key, null );
			return is_array( $result ) && isset( $result['status'], $result['time'] ) ? $result : null;
		}

		/** Whether the last check is a day old, or there was none. */
		public function stale() {
			$result = $this->result();
			return null === $result || (int) $result['time'] < time() - DAY_IN_SECONDS;
		}

		/**
		 * Asks the site for the store's canary and for a product file at its plugin address, and
		 * keeps what answered. The store is the network's, so on a network the result is too.
		 *
		 * @return array
		 */
		public function run() {
			$result   = array(
				'status' => 'unchecked',
				'time'   => time(),
				'server' => '',
				'store'  => false,
				'files'  => array(),
				'error'  => '',
			);
			$software = isset( $_SERVER['SERVER_SOFTWARE'] ) ? sanitize_text_field( wp_unslash( $_SERVER['SERVER_SOFTWARE'] ) ) : '';

			// A file every site serves: when it does not come, no answer below means anything.
			$control = $this->get( includes_url( 'css/dashicons.min.css' ) );
			if ( is_wp_error( $control ) ) {
				$result['error'] = $control->get_error_message();
			} else {
				$code = (int) wp_remote_retrieve_response_code( $control );
				if ( 200 !== $code ) {
					/* translators: %d: an HTTP status code. */
					$result['error'] = sprintf( __( 'the site answered its own request with status %d', '#prefix#' ), $code );
				}
				// Outside a web request (activation from the command line) the answer tells.
				if ( '' === $software ) {
					$software = (string) wp_remote_retrieve_header( $control, 'server' );
				}
			}
			$result['server'] = $this->server_kind( $software );

			if ( ! is_wp_error( $control ) ) {
				foreach ( $this->targets() as $target ) {
					$response = $this->get( $target['url'] );
					if ( is_wp_error( $response ) ) {
						$result['error'] = $response->get_error_message();
					} elseif ( 200 === (int) wp_remote_retrieve_response_code( $response )
						&& wp_remote_retrieve_body( $response ) === $target['bytes'] ) {
						if ( '' === $target['path'] ) {
							$result['store'] = true;
						} else {
							$result['files'][] = $target['path'];
						}
					}
				}
			}
			if ( $result['store'] || $result['files'] ) {
				$result['status'] = 'reachable';
			} elseif ( '' === $result['error'] ) {
				$result['status'] = 'protected';
			}

			if ( is_multisite() ) {
				update_site_option( $this->ostrel['protection_option'], $result );
			} else {
				update_option( $this->ostrel['protection_option'], $result, true );
			}
			return $result;
		}

		/** What the last check found reachable that still is there to reach. */
		private function exposed( array $result ) {
			$files = array();
			foreach ( isset( $result['files'] ) ? (array) $result['files'] : array() as $path ) {
				// A file served from the plugin's folder is safe once it has moved to the store.
				if ( is_string( $path ) && is_file( $this->store->public_path( $path ) ) ) {
					$files[] = $path;
				}
			}
			return array(
				'store' => ! empty( $result['store'] ),
				'files' => $files,
			);
		}

		private function get( $url ) {
			return wp_remote_get(
				$url,
				array(
					'timeout'             => self::TIMEOUT,
					'redirection'         => 3,
					// The site asks itself: a self-signed or mismatched certificate is no reason to stop.
					'sslverify'           => false,
					'limit_response_size' => self::COMPARED,
					'headers'             => array(
						'Accept-Encoding' => 'identity',
						'Cache-Control'   => 'no-cache',
					),
				)
			);
		}

		/**
		 * The addresses to ask for and the bytes they must not answer with: the store's canary,
		 * and a product file still in the plugin's folder, or else the first one.
		 */
		private function targets() {
			$targets = array();
			$canary  = $this->canary();
			$url     = $this->store_url();
			if ( '' !== $canary && '' !== $url ) {
				$targets[] = array(
					'path'  => '',
					'url'   => $url . '/' . self::CANARY,
					'bytes' => $canary,
				);
			}
			$files = $this->store->files();
			$pick  = $files ? $files[0] : '';
			foreach ( $files as $path ) {
				if ( is_file( $this->store->public_path( $path ) ) ) {
					$pick = $path;
					break;
				}
			}
			foreach ( '' === $pick ? array() : array( $this->store->public_path( $pick ), $this->store->stored_path( $pick ) ) as $file ) {
				if ( '' !== $file && is_file( $file ) ) {
					$targets[] = array(
						'path'  => $pick,
						'url'   => plugins_url( 'modules/' . implode( '/', array_map( 'rawurlencode', explode( '/', $this->store->public_relative( $pick ) ) ) ), $this->ostrel['file'] ),
						'bytes' => $this->first_bytes( $file ),
					);
					break;
				}
			}
			return $targets;
		}

		/** A file of random bytes in the store, which no visitor should get; '' without a store. */
		private function canary() {
			$dir = $this->store->ensure();
			if ( is_wp_error( $dir ) ) {
				return '';
			}
			$file = $dir . '/' . self::CANARY;
			if ( ! is_file( $file ) && ! $this->store->fs()->put_contents( $file, wp_generate_password( 32, false ), 0644 ) ) {
				return '';
			}
			return $this->first_bytes( $file );
		}

		/** The first bytes of a file, which may be far too large to read whole; '' on failure. */
		private function first_bytes( $file ) {
			// phpcs:ignore WordPress.WP.AlternativeFunctions.file_system_operations_fopen, WordPress.PHP.NoSilencedErrors.Discouraged -- WordPress's file API reads whole files; an unreadable one is ''
			$handle = @fopen( $file, 'rb' );
			if ( false === $handle ) {
				return '';
			}
			$bytes = fread( $handle, self::COMPARED ); // phpcs:ignore WordPress.WP.AlternativeFunctions.file_system_operations_fread -- see above
			fclose( $handle ); // phpcs:ignore WordPress.WP.AlternativeFunctions.file_system_operations_fclose -- see above
			return false === $bytes ? '' : $bytes;
		}

		/** The store's address, or '' when it has none. */
		private function store_url() {
			$dir     = wp_normalize_path( $this->store->dir() );
			$uploads = $this->store->uploads();
			$base    = wp_normalize_path( $uploads['basedir'] );
			if ( '' === $dir || 0 !== strpos( $dir, $base . '/' ) ) {
				return '';
			}
			return $uploads['baseurl'] . substr( $dir, strlen( $base ) );
		}

		private function server_kind( $software ) {
			$software = strtolower( (string) $software );
			if ( false !== strpos( $software, 'nginx' ) || false !== strpos( $software, 'openresty' ) ) {
				return 'nginx';
			}
			return false !== strpos( $software, 'apache' ) ? 'apache' : 'other';
		}

		/**
		 * The paths the server must refuse, as it compares them (decoded): the store's parent
		 * folder, whose name is no secret, and each product file's plugin address.
		 *
		 * @return array{0: string, 1: string[]}
		 */
		private function refused_paths() {
			$uploads = $this->store->uploads();
			$folder  = rawurldecode( (string) wp_parse_url( $uploads['baseurl'], PHP_URL_PATH ) );
			$folder  = rtrim( $folder, '/' ) . '/' . $this->ostrel['store_parent'] . '/';
			$plugin  = rawurldecode( (string) wp_parse_url( plugins_url( 'modules/', $this->ostrel['file'] ), PHP_URL_PATH ) );
			$files   = array();
			foreach ( $this->store->files() as $path ) {
				$files[] = $plugin . $this->store->public_relative( $path );
			}
			return array( $folder, $files );
		}

		/** Lines for the site's nginx server block that refuse the store and the product files. */
		public function nginx_rules() {
			// Quoted where needed, so spaces, braces and semicolons stay part of the path; exact
			// and ^~ matches take no regular expressions, and win over the regex locations that
			// serve static files.
			$quote = static function ( $path ) {
				return preg_match( '/[\s"\'{};#$\\\\]/', $path ) ? '"' . addcslashes( $path, '"\\' ) . '"' : $path;
			};
			list( $folder, $files ) = $this->refused_paths();
			/* translators: %s: the plugin's name. */
			$lines = array( '# ' . sprintf( __( '%s: the product files are handed out by expiring links only', '#prefix#' ), preg_replace( '/\s+/', ' ', $this->ostrel['name'] ) ) );
			$lines[] = 'location ^~ ' . $quote( $folder ) . ' { deny all; }';
			foreach ( $files as $path ) {
				$lines[] = 'location = ' . $quote( $path ) . ' { deny all; }';
			}
			return implode( "\n", $lines ) . "\n";
		}

		/** The plugin page's section on the protection. */
		public function report() {
			$result = $this->result();
			$owner  = current_user_can( $this->ostrel['owner_cap']() );
			?>
			<div class="ostrel-protection" data-status="<?php echo esc_attr( null === $result ? 'none' : $result['status'] ); ?>">
				<?php if ( null === $result ) : ?>
					<p><?php esc_html_e( 'Whether your web server refuses your product\'s files has not been checked yet.', '#prefix#' ); ?></p>
				<?php elseif ( 'protected' === $result['status'] ) : ?>
					<p>
						<?php
						/* translators: %s: a date and time. */
						echo esc_html( sprintf( __( 'Your web server refuses requests for your product\'s files: only download links give them out (checked %s).', '#prefix#' ), $this->when( $result ) ) );
						?>
					</p>
				<?php elseif ( 'reachable' === $result['status'] && ! array_filter( $this->exposed( $result ) ) ) : ?>
					<p><?php esc_html_e( 'The last check found product files in the plugin\'s folder, which have since gone to the private folder. Check again to see whether your web server refuses them there.', '#prefix#' ); ?></p>
				<?php elseif ( 'reachable' === $result['status'] ) : ?>
					<div class="notice notice-error inline">
						<?php $this->reachable_text( $result ); ?>
						<?php $this->fix( $result ); ?>
					</div>
				<?php else : ?>
					<div class="notice notice-warning inline">
						<p>
							<strong><?php esc_html_e( 'The protection of your product\'s files could not be checked.', '#prefix#' ); ?></strong>
							<?php
							/* translators: 1: why, such as a timeout, 2: a date and time. */
							echo esc_html( sprintf( __( 'The plugin asks its own site for them, as a visitor would, and that did not work: %1$s (%2$s). Some hosts block a site\'s requests to itself; ask yours to allow them, then check again.', '#prefix#' ), $result['error'], $this->when( $result ) ) );
							?>
						</p>
					</div>
				<?php endif; ?>
				<?php if ( $owner ) : ?>
					<form method="post" action="<?php echo esc_url( admin_url( 'admin-post.php' ) ); ?>">
						<input type="hidden" name="action" value="<?php echo esc_attr( $this->action() ); ?>">
						<?php wp_nonce_field( $this->action() ); ?>
						<?php submit_button( __( 'Check again', '#prefix#' ), 'secondary', 'submit', false ); ?>
					</form>
				<?php endif; ?>
			</div>
			<?php
		}

		private function when( array $result ) {
			return wp_date( get_option( 'date_format' ) . ' ' . get_option( 'time_format' ), (int) $result['time'] );
		}

		private function reachable_text( array $result ) {
			$exposed = $this->exposed( $result );
			?>
			<p>
				<strong><?php esc_html_e( 'Your product\'s files are reachable by anyone who guesses their address.', '#prefix#' ); ?></strong>
				<?php
				/* translators: %s: a date and time. */
				echo esc_html( sprintf( __( 'When the plugin asked its own site for them (%s), the web server handed them out:', '#prefix#' ), $this->when( $result ) ) );
				?>
			</p>
			<ul>
				<?php if ( $exposed['store'] ) : ?>
					<li><?php esc_html_e( 'a file of the private folder in the uploads folder', '#prefix#' ); ?></li>
				<?php endif; ?>
				<?php foreach ( $exposed['files'] as $path ) : ?>
					<li>
						<?php
						/* translators: %s: a product file, such as files/guide.pdf. */
						echo esc_html( sprintf( __( '%s at its address in the plugin\'s folder', '#prefix#' ), $path ) );
						?>
					</li>
				<?php endforeach; ?>
			</ul>
			<?php
		}

		/** The fix for the server the check found. */
		private function fix( array $result ) {
			if ( 'nginx' === $result['server'] ) {
				?>
				<p><?php esc_html_e( 'Your site runs on nginx, which ignores the rules the plugin puts into the private folder. Paste these lines into your site\'s server block (the "server { ... }" section of its nginx configuration), then reload nginx, e.g. with "nginx -s reload". If you cannot change the configuration, send the lines to your host.', '#prefix#' ); ?></p>
				<pre class="ostrel-nginx-rules"><?php echo esc_html( $this->nginx_rules() ); ?></pre>
				<?php
				return;
			}
			if ( 'apache' === $result['server'] && ! $result['store'] ) {
				?>
				<p><?php esc_html_e( 'The private folder refuses them; the files still in the plugin\'s folder could not be moved there, as the notice above says.', '#prefix#' ); ?></p>
				<?php
				return;
			}
			if ( 'apache' === $result['server'] ) {
				?>
				<p><?php esc_html_e( 'Your site runs on Apache, which follows the rules the plugin puts into the private folder (its .htaccess file) only where the configuration allows them. Set "AllowOverride AuthConfig Limit" (or "AllowOverride All") for the site\'s folder in its Apache configuration and reload Apache, or ask your host to.', '#prefix#' ); ?></p>
				<?php
				return;
			}
			list( $folder, $files ) = $this->refused_paths();
			?>
			<p><?php esc_html_e( 'Your web server does not follow the rules the plugin puts into the private folder (.htaccess for Apache, web.config for IIS). Make it refuse every request for these addresses, or ask your host to:', '#prefix#' ); ?></p>
			<ul>
				<li>
					<code><?php echo esc_html( $folder ); ?></code>
					<?php esc_html_e( '(the folder and everything in it)', '#prefix#' ); ?>
				</li>
				<?php foreach ( $files as $path ) : ?>
					<li><code><?php echo esc_html( $path ); ?></code></li>
				<?php endforeach; ?>
			</ul>
			<?php
		}

		/** On the other admin pages, for the owner: the product is reachable. */
		public function notice() {
			$result = $this->result();
			if ( null === $result || 'reachable' !== $result['status'] || ! current_user_can( $this->ostrel['owner_cap']() )
				|| ( isset( $_GET['page'] ) && $this->ostrel['menu_slug'] === $_GET['page'] ) ) { // phpcs:ignore WordPress.Security.NonceVerification.Recommended -- only which admin page is shown; nothing changes
				return;
			}
			if ( ! array_filter( $this->exposed( $result ) ) ) {
				return;
			}
			?>
			<div class="notice notice-error ostrel-protection-notice">
				<p>
					<?php
					/* translators: %s: the plugin's name. */
					echo esc_html( sprintf( __( '%s: your product\'s files are reachable by anyone who guesses their address, because the web server hands them out.', '#prefix#' ), $this->ostrel['name'] ) );
					?>
					<a href="<?php echo esc_url( $this->page_url() ); ?>"><?php esc_html_e( 'How to fix it', '#prefix#' ); ?></a>
				</p>
			</div>
			<?php
		}
	};

	// After the plugin's own activation (priority 10), once the store holds the files. Once on a
	// network too: its sites share the store.
	add_action(
		'activate_' . plugin_basename( $ostrel['file'] ),
		static function () use ( $check ) {
			$check->run();
		},
		20
	);

	// When the owner opens the plugin's page, and on any admin page once a day: WP-Cron may be off.
	add_action(
		'admin_init',
		static function () use ( $check, $ostrel ) {
			if ( wp_doing_ajax() || ( isset( $GLOBALS['pagenow'] ) && 'admin-post.php' === $GLOBALS['pagenow'] ) || ! current_user_can( $ostrel['owner_cap']() ) ) {
				return;
			}
			// Which admin page is shown, and whether "Check again" just ran: reading them changes
			// nothing, and the check itself is safe to run at any time.
			$own_page = isset( $_GET['page'] ) && $ostrel['menu_slug'] === $_GET['page']; // phpcs:ignore WordPress.Security.NonceVerification.Recommended -- see above
			// Right after "Check again" the result is fresh.
			if ( $own_page ? ! isset( $_GET['ostrel_checked'] ) : $check->stale() ) { // phpcs:ignore WordPress.Security.NonceVerification.Recommended -- see above
				$check->run();
			}
		}
	);

	add_action(
		'admin_post_' . $check->action(),
		static function () use ( $check, $ostrel ) {
			if ( ! current_user_can( $ostrel['owner_cap']() ) ) {
				wp_die( esc_html__( 'Sorry, you are not allowed to do this.', '#prefix#' ), '', array( 'response' => 403 ) );
			}
			check_admin_referer( $check->action() );
			$check->run();
			wp_safe_redirect( add_query_arg( 'ostrel_checked', 1, $check->page_url() ) );
			exit;
		}
	);

	foreach ( array( 'admin_notices', 'network_admin_notices' ) as $hook ) {
		add_action( $hook, array( $check, 'notice' ) );
	}

	return $check;
};

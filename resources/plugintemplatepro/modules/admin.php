<?php
defined( 'ABSPATH' ) || exit;

// The plugin's menu: the HTML that replaces the tags, and the addresses of the pages.
return static function ( array $ostrel ) {
	$action = static function ( $name ) use ( $ostrel ) {
		return 'ostrel_' . $ostrel['slug'] . '_' . $name;
	};

	$page_url = admin_url( 'admin.php?page=' . $ostrel['menu_slug'] );

	// A button that posts one action, with its nonce, to admin-post.php.
	$action_button = static function ( $name, $caption, $description ) use ( $action ) {
		?>
		<form method="post" action="<?php echo esc_url( admin_url( 'admin-post.php' ) ); ?>">
			<input type="hidden" name="action" value="<?php echo esc_attr( $action( $name ) ); ?>">
			<?php wp_nonce_field( $action( $name ) ); ?>
			<?php submit_button( $caption, 'secondary', 'submit', false ); ?>
			<p class="description"><?php echo esc_html( $description ); ?></p>
		</form>
		<?php
	};

	// Files that should be private but could not be moved out of the plugin's folder.
	$public_notice = static function () use ( $ostrel ) {
		$problems = $ostrel['store']->problems();
		if ( ! $problems || ! current_user_can( $ostrel['owner_cap']() ) ) {
			return;
		}
		?>
		<div class="notice notice-error ostrel-public">
			<p>
				<strong>
					<?php
					/* translators: %s: the plugin's name. */
					echo esc_html( sprintf( __( '%s: your product is still public.', '#prefix#' ), $ostrel['name'] ) );
					?>
				</strong>
				<?php esc_html_e( 'These files could not be moved to the private folder, so anyone who guesses their address can download them:', '#prefix#' ); ?>
			</p>
			<ul>
				<?php foreach ( $problems as $path => $reason ) : ?>
					<li><code><?php echo esc_html( $path ); ?></code>: <?php echo esc_html( $reason ); ?></li>
				<?php endforeach; ?>
			</ul>
			<p><?php esc_html_e( 'Make the uploads folder writable for the web server and the plugin\'s folder too, then open any page of the site: the plugin tries again.', '#prefix#' ); ?></p>
		</div>
		<?php
	};

	$render = static function () use ( $ostrel, $action_button, $public_notice ) {
		if ( ! current_user_can( $ostrel['owner_cap']() ) ) {
			return;
		}
		// Which action just ran, to say so: the action itself checked its nonce before redirecting.
		$done  = isset( $_GET['ostrel_done'] ) ? sanitize_key( wp_unslash( $_GET['ostrel_done'] ) ) : ''; // phpcs:ignore WordPress.Security.NonceVerification.Recommended -- see above
		$files = $ostrel['store']->files();
		$pages = array(
			'sales_option'    => array(
				__( 'Sales page', '#prefix#' ),
				__( 'Send your visitors here.', '#prefix#' ),
			),
			'download_option' => array(
				__( 'Download page', '#prefix#' ),
				__( 'Give this address to your payment provider or autoresponder as the page buyers go to after paying or signing up. Keep it private: anyone who has it can download.', '#prefix#' ),
			),
		);
		$fields = array(
			'front_option' => array(
				__( 'Sales page: buy button or sign-up form', '#prefix#' ),
				__( 'HTML that stands where #FRONT# was, e.g. the button or form from your payment provider or autoresponder.', '#prefix#' ),
				__( 'The sales page has no buy button or sign-up form yet.', '#prefix#' ),
			),
			'back_option'  => array(
				__( 'Download page: download button or links', '#prefix#' ),
				__( 'HTML that stands where #BACK# was, e.g. links to the product files.', '#prefix#' ),
				__( 'The download page has no download button or links yet.', '#prefix#' ),
			),
		);
		?>
		<div class="wrap">
			<h1><?php echo esc_html( $ostrel['name'] ); ?></h1>
			<?php settings_errors(); ?>
			<?php $public_notice(); ?>
			<?php $ostrel['protection']->report(); ?>
			<?php if ( 'address' === $done ) : ?>
				<div class="notice notice-success"><p><?php esc_html_e( 'The download page has a new address; the old one no longer works. Give the new address to your payment provider as the return ("thank you") address now, or buyers will not reach their download.', '#prefix#' ); ?></p></div>
			<?php elseif ( 'links' === $done ) : ?>
				<div class="notice notice-success"><p><?php esc_html_e( 'All download links given out so far no longer work. Buyers get fresh links when they open the download page again.', '#prefix#' ); ?></p></div>
			<?php endif; ?>
			<?php foreach ( $fields as $key => $field ) : ?>
				<?php if ( '' === trim( (string) get_option( $ostrel[ $key ], '' ) ) ) : ?>
					<div class="notice notice-warning inline"><p><?php echo esc_html( $field[2] ); ?></p></div>
				<?php endif; ?>
			<?php endforeach; ?>
			<?php $gone = $ostrel['links']->gone_links( (string) get_option( $ostrel['back_option'], '' ) ); ?>
			<?php if ( $gone ) : ?>
				<div class="notice notice-warning inline ostrel-gone-links">
					<p><?php esc_html_e( 'Your download links\' HTML links to files this version of the plugin does not deliver, so buyers who click them get "not found":', '#prefix#' ); ?></p>
					<ul>
						<?php foreach ( $gone as $path ) : ?>
							<li><code><?php echo esc_html( $path ); ?></code></li>
						<?php endforeach; ?>
					</ul>
					<p><?php esc_html_e( 'Link the files listed under "Product files" below instead.', '#prefix#' ); ?></p>
				</div>
			<?php endif; ?>

			<h2><?php esc_html_e( 'Addresses', '#prefix#' ); ?></h2>
			<table class="form-table" role="presentation">
				<?php foreach ( $pages as $key => $page ) : ?>
					<?php $url = get_permalink( (int) get_option( $ostrel[ $key ] ) ); ?>
					<tr>
						<th scope="row"><?php echo esc_html( $page[0] ); ?></th>
						<td>
							<?php if ( $url ) : ?>
								<a class="ostrel-address" href="<?php echo esc_url( $url ); ?>"><?php echo esc_html( $url ); ?></a>
								<p class="description"><?php echo esc_html( $page[1] ); ?></p>
								<?php if ( 'download_option' === $key ) : ?>
									<?php $action_button( 'new_address', __( 'New download address', '#prefix#' ), __( 'Gives the download page a new address and makes the old one answer "not found", for when the address got out. Afterwards, give the new address to your payment provider as the return ("thank you") address.', '#prefix#' ) ); ?>
								<?php endif; ?>
							<?php else : ?>
								<p><?php esc_html_e( 'This page is missing. Deactivate and activate the plugin to create it again.', '#prefix#' ); ?></p>
							<?php endif; ?>
						</td>
					</tr>
				<?php endforeach; ?>
			</table>
			<?php $others = array_keys( $ostrel['site_pages']()['pages'] ); ?>
			<?php if ( $others ) : ?>
				<p><?php esc_html_e( 'The other pages of your site. Links between the pages lead to these addresses.', '#prefix#' ); ?></p>
				<table class="widefat striped ostrel-pages">
					<thead><tr><th scope="col"><?php esc_html_e( 'Page', '#prefix#' ); ?></th><th scope="col"><?php esc_html_e( 'Address', '#prefix#' ); ?></th></tr></thead>
					<tbody>
						<?php foreach ( $others as $path ) : ?>
							<?php $url = $ostrel['page_url']( $path ); ?>
							<tr>
								<td><code><?php echo esc_html( $path ); ?></code></td>
								<td>
									<?php if ( '' !== $url ) : ?>
										<a class="ostrel-page-address" href="<?php echo esc_url( $url ); ?>"><?php echo esc_html( $url ); ?></a>
									<?php else : ?>
										<?php esc_html_e( 'This page is missing. Deactivate and activate the plugin to create it again.', '#prefix#' ); ?>
									<?php endif; ?>
								</td>
							</tr>
						<?php endforeach; ?>
					</tbody>
				</table>
			<?php endif; ?>

			<h2><?php esc_html_e( 'Product files', '#prefix#' ); ?></h2>
			<?php if ( ! $files ) : ?>
				<p><?php esc_html_e( 'This plugin has no protected files. Everything it holds is public.', '#prefix#' ); ?></p>
			<?php else : ?>
				<p><?php esc_html_e( 'These files are kept in a private folder. On the download page, every link to one of them becomes a link that works for a limited time; a link someone passes on stops working when it expires.', '#prefix#' ); ?></p>
				<table class="widefat striped ostrel-files">
					<thead><tr><th scope="col"><?php esc_html_e( 'File', '#prefix#' ); ?></th><th scope="col"><?php esc_html_e( 'Kept', '#prefix#' ); ?></th><th scope="col"><?php esc_html_e( 'Downloads', '#prefix#' ); ?></th></tr></thead>
					<tbody>
						<?php $counts = $ostrel['links']->counts(); ?>
						<?php $problems = $ostrel['store']->problems(); ?>
						<?php foreach ( $files as $path ) : ?>
							<tr>
								<td><code><?php echo esc_html( $path ); ?></code></td>
								<td>
									<?php if ( isset( $problems[ $path ] ) ) : ?>
										<strong><?php esc_html_e( 'Still public:', '#prefix#' ); ?></strong> <?php echo esc_html( $problems[ $path ] ); ?>
									<?php elseif ( is_file( $ostrel['store']->stored_path( $path ) ) ) : ?>
										<?php esc_html_e( 'Private', '#prefix#' ); ?>
									<?php else : ?>
										<strong><?php esc_html_e( 'Missing:', '#prefix#' ); ?></strong> <?php esc_html_e( 'upload the plugin again to restore it.', '#prefix#' ); ?>
									<?php endif; ?>
								</td>
								<td><?php echo esc_html( number_format_i18n( isset( $counts[ $path ] ) ? (int) $counts[ $path ] : 0 ) ); ?></td>
							</tr>
						<?php endforeach; ?>
					</tbody>
				</table>
				<?php $action_button( 'new_secret', __( 'Invalidate all download links', '#prefix#' ), __( 'Every download link handed out so far stops working at once. Buyers who open the download page again get fresh links.', '#prefix#' ) ); ?>
			<?php endif; ?>

			<form method="post" action="options.php">
				<?php settings_fields( $ostrel['option_group'] ); ?>
				<table class="form-table" role="presentation">
					<?php foreach ( $fields as $key => $field ) : ?>
						<tr>
							<th scope="row"><label for="<?php echo esc_attr( $ostrel[ $key ] ); ?>"><?php echo esc_html( $field[0] ); ?></label></th>
							<td>
								<textarea class="large-text code" rows="8" id="<?php echo esc_attr( $ostrel[ $key ] ); ?>" name="<?php echo esc_attr( $ostrel[ $key ] ); ?>"><?php echo esc_textarea( (string) get_option( $ostrel[ $key ], '' ) ); ?></textarea>
								<p class="description"><?php echo esc_html( $field[1] ); ?></p>
							</td>
						</tr>
					<?php endforeach; ?>
					<tr>
						<th scope="row"><label for="<?php echo esc_attr( $ostrel['lifetime_option'] ); ?>"><?php esc_html_e( 'Download links stay valid for', '#prefix#' ); ?></label></th>
						<td>
							<input type="number" min="1" max="<?php echo esc_attr( (string) $ostrel['links']::MAX_LIFETIME ); ?>" step="1" class="small-text" id="<?php echo esc_attr( $ostrel['lifetime_option'] ); ?>" name="<?php echo esc_attr( $ostrel['lifetime_option'] ); ?>" value="<?php echo esc_attr( (string) $ostrel['links']->lifetime() ); ?>"> <?php esc_html_e( 'minutes', '#prefix#' ); ?>
							<p class="description"><?php esc_html_e( 'From the moment the buyer opens the download page. 1440 minutes are a day; 1 minute is the least, ten years (5259600 minutes) the most.', '#prefix#' ); ?></p>
						</td>
					</tr>
				</table>
				<?php submit_button(); ?>
			</form>
		</div>
		<?php
	};

	add_action(
		'admin_menu',
		static function () use ( $ostrel, $render ) {
			// Menu titles are printed as HTML, so the name goes in escaped.
			$title = esc_html( $ostrel['name'] );
			add_menu_page( $title, $title, $ostrel['owner_cap'](), $ostrel['menu_slug'], $render, 'dashicons-cart' );
		}
	);

	// Once after activation, the way to the page where the seller pastes the buy button.
	$welcome_notice = static function () use ( $ostrel, $page_url ) {
		if ( ! get_option( $ostrel['welcome_option'] ) || ! current_user_can( $ostrel['owner_cap']() ) ) {
			return;
		}
		delete_option( $ostrel['welcome_option'] );
		?>
		<div class="notice notice-success is-dismissible ostrel-welcome">
			<p>
				<?php
				/* translators: %s: the plugin's name. */
				echo esc_html( sprintf( __( '%s is active. Its sales page needs your buy button, and its download page your download links.', '#prefix#' ), $ostrel['name'] ) );
				?>
				<a href="<?php echo esc_url( $page_url ); ?>">
					<?php
					/* translators: %s: the plugin's name. */
					echo esc_html( sprintf( __( 'Set up %s', '#prefix#' ), $ostrel['name'] ) );
					?>
				</a>
			</p>
		</div>
		<?php
	};

	add_action(
		'admin_notices',
		static function () use ( $ostrel, $public_notice, $welcome_notice ) {
			// The plugin's own page shows the first in its place and needs no way to itself.
			if ( isset( $_GET['page'] ) && $ostrel['menu_slug'] === $_GET['page'] ) { // phpcs:ignore WordPress.Security.NonceVerification.Recommended -- only which admin page is shown
				if ( get_option( $ostrel['welcome_option'] ) ) {
					delete_option( $ostrel['welcome_option'] );
				}
				return;
			}
			$public_notice();
			$welcome_notice();
		}
	);

	// options.php lets anyone with manage_options save a group; on a network this plugin is
	// active on as a whole, that would be every site's administrator.
	add_filter(
		'option_page_capability_' . $ostrel['option_group'],
		static function () use ( $ostrel ) {
			return $ostrel['owner_cap']();
		}
	);

	add_filter(
		'plugin_action_links_' . plugin_basename( $ostrel['file'] ),
		static function ( $links ) use ( $page_url ) {
			$settings = '<a href="' . esc_url( $page_url ) . '">' . esc_html__( 'Settings', '#prefix#' ) . '</a>';
			return array_merge( array( 'settings' => $settings ), (array) $links );
		}
	);

	$actions = array(
		// The old address answers 404; WordPress would otherwise send its visitors on to the new one.
		'new_address' => static function () use ( $ostrel ) {
			$id = (int) get_option( $ostrel['download_option'] );
			if ( $id && get_post( $id ) ) {
				wp_update_post(
					array(
						'ID'        => $id,
						'post_name' => strtolower( wp_generate_password( 20, false ) ),
					)
				);
				delete_post_meta( $id, '_wp_old_slug' );
			}
		},
		'new_secret'  => static function () use ( $ostrel ) {
			$ostrel['links']->renew_secret();
		},
	);
	foreach ( $actions as $name => $run ) {
		add_action(
			'admin_post_' . $action( $name ),
			static function () use ( $ostrel, $action, $name, $run, $page_url ) {
				if ( ! current_user_can( $ostrel['owner_cap']() ) ) {
					wp_die( esc_html__( 'Sorry, you are not allowed to do this.', '#prefix#' ), '', array( 'response' => 403 ) );
				}
				check_admin_referer( $action( $name ) );
				$run();
				$done = 'new_address' === $name ? 'address' : 'links';
				wp_safe_redirect( add_query_arg( 'ostrel_done', $done, $page_url ) );
				exit;
			}
		);
	}
};

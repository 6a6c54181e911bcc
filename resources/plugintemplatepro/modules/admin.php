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

	// When a provider's last genuine notification arrived, or what to do to get one.
	$last_notification = static function ( $last, $none ) {
		if ( $last ) {
			/* translators: %s: a date and time. */
			echo esc_html( sprintf( __( 'The last genuine notification arrived on %s.', '#prefix#' ), wp_date( get_option( 'date_format' ) . ' ' . get_option( 'time_format' ), $last ) ) );
		} else {
			echo esc_html( $none );
		}
	};

	// Where PayPal and Lemon Squeezy report payments, after Stripe. Inside the settings form.
	$other_providers = static function () use ( $ostrel, $last_notification ) {
		$paypal = $ostrel['paypal'];
		$lemon  = $ostrel['lemonsqueezy'];
		// Made here, before the form can first save them, so they are never autoloaded.
		$paypal->ensure_options();
		$lemon->ensure_options();
		$masked = $lemon->masked_secret();
		?>
		<h3><?php esc_html_e( 'PayPal', '#prefix#' ); ?></h3>
		<table class="form-table ostrel-paypal" role="presentation">
			<tr>
				<th scope="row"><?php esc_html_e( 'Notification URL', '#prefix#' ); ?></th>
				<td>
					<code class="ostrel-paypal-url"><?php echo esc_html( $paypal->url() ); ?></code>
					<p class="description"><?php esc_html_e( 'In your PayPal business account, under Account Settings, Notifications, Instant payment notifications, turn IPN messages on with this address as the notification URL (or give your buttons this address as notify_url).', '#prefix#' ); ?></p>
					<p class="description"><?php esc_html_e( 'So that buyers see their download at once: under Website payments, Website preferences, turn Auto return on with the download page\'s address as the return URL, and turn Payment data transfer on; PayPal then adds the transaction (tx) to the address.', '#prefix#' ); ?></p>
				</td>
			</tr>
			<tr>
				<th scope="row"><label for="<?php echo esc_attr( $ostrel['paypal_email_option'] ); ?>"><?php esc_html_e( 'Your PayPal address', '#prefix#' ); ?></label></th>
				<td>
					<input type="email" class="regular-text" id="<?php echo esc_attr( $ostrel['paypal_email_option'] ); ?>" name="<?php echo esc_attr( $ostrel['paypal_email_option'] ); ?>" value="<?php echo esc_attr( $paypal->email() ); ?>">
					<p class="description"><?php esc_html_e( 'The primary e-mail address of the PayPal account that gets paid. Only payments to it count. Empty turns PayPal off.', '#prefix#' ); ?></p>
					<input type="hidden" name="<?php echo esc_attr( $ostrel['paypal_sandbox_option'] ); ?>" value="0">
					<label><input type="checkbox" name="<?php echo esc_attr( $ostrel['paypal_sandbox_option'] ); ?>" value="1" <?php checked( $paypal->sandbox() ); ?>> <?php esc_html_e( 'Sandbox: the account is one of PayPal\'s test accounts (untick it before you sell)', '#prefix#' ); ?></label>
				</td>
			</tr>
			<tr>
				<th scope="row"><label for="<?php echo esc_attr( $ostrel['paypal_price_option'] ); ?>"><?php esc_html_e( 'Price', '#prefix#' ); ?></label></th>
				<td>
					<input type="text" inputmode="decimal" class="small-text" id="<?php echo esc_attr( $ostrel['paypal_price_option'] ); ?>" name="<?php echo esc_attr( $ostrel['paypal_price_option'] ); ?>" value="<?php echo esc_attr( $paypal->price() ); ?>" placeholder="19.00">
					<input type="text" class="small-text" maxlength="3" aria-label="<?php esc_attr_e( 'Currency', '#prefix#' ); ?>" id="<?php echo esc_attr( $ostrel['paypal_currency_option'] ); ?>" name="<?php echo esc_attr( $ostrel['paypal_currency_option'] ); ?>" value="<?php echo esc_attr( $paypal->currency() ); ?>" placeholder="EUR">
					<p class="description"><?php esc_html_e( 'Optional, and recommended: anyone can change the amount of a PayPal button, so with a price set, a payment of less than it in all or in another currency gives no access, and a refund of less than it leaves the access standing.', '#prefix#' ); ?></p>
				</td>
			</tr>
			<tr>
				<th scope="row"><?php esc_html_e( 'Last notification', '#prefix#' ); ?></th>
				<td class="ostrel-paypal-last"><?php $last_notification( $paypal->last_seen(), __( 'No notification PayPal confirmed has arrived yet. Send one with the IPN simulator of PayPal\'s developer site (with Sandbox ticked) to check the setup.', '#prefix#' ) ); ?></td>
			</tr>
		</table>

		<h3><?php esc_html_e( 'Lemon Squeezy', '#prefix#' ); ?></h3>
		<table class="form-table ostrel-lemonsqueezy" role="presentation">
			<tr>
				<th scope="row"><?php esc_html_e( 'Callback URL', '#prefix#' ); ?></th>
				<td>
					<code class="ostrel-lemonsqueezy-url"><?php echo esc_html( $lemon->url() ); ?></code>
					<p class="description"><?php esc_html_e( 'In Lemon Squeezy, under Settings, Webhooks, add a webhook with this address.', '#prefix#' ); ?></p>
				</td>
			</tr>
			<tr>
				<th scope="row"><?php esc_html_e( 'Events to send', '#prefix#' ); ?></th>
				<td>
					<code><?php echo esc_html( implode( ', ', $lemon->events() ) ); ?></code>
					<p class="description"><?php esc_html_e( 'So that buyers see their download at once: in your product\'s settings, set the button link of the confirmation modal and of the receipt to the download page\'s address followed by ?order_identifier=[order_identifier].', '#prefix#' ); ?></p>
				</td>
			</tr>
			<tr>
				<th scope="row"><label for="<?php echo esc_attr( $ostrel['lemonsqueezy_secret_option'] ); ?>"><?php esc_html_e( 'Signing secret', '#prefix#' ); ?></label></th>
				<td>
					<input type="password" class="regular-text code" autocomplete="off" id="<?php echo esc_attr( $ostrel['lemonsqueezy_secret_option'] ); ?>" name="<?php echo esc_attr( $ostrel['lemonsqueezy_secret_option'] ); ?>" value="">
					<p class="description">
						<?php if ( '' === $masked ) : ?>
							<?php
							/* translators: %s: a random secret, made for the seller to use. */
							echo esc_html( sprintf( __( 'Not set. Choose a secret of 16 to 40 characters and enter it here and as the webhook\'s signing secret in Lemon Squeezy; this random one will do: %s', '#prefix#' ), $lemon->suggestion() ) );
							?>
						<?php else : ?>
							<?php
							/* translators: %s: the end of the saved secret, such as "…a1b2". */
							echo esc_html( sprintf( __( 'Saved: %s. Leave empty to keep it, or enter a new one to replace it.', '#prefix#' ), $masked ) );
							?>
						<?php endif; ?>
					</p>
				</td>
			</tr>
			<tr>
				<th scope="row"><?php esc_html_e( 'Last notification', '#prefix#' ); ?></th>
				<td class="ostrel-lemonsqueezy-last"><?php $last_notification( $lemon->last_seen(), __( 'No correctly signed notification has arrived yet. Buy in Lemon Squeezy\'s test mode, or resend an order from the webhook\'s page there, to check the setup.', '#prefix#' ) ); ?></td>
			</tr>
		</table>
		<?php
	};

	// Who gets the product, the buyers' terms and mail, and where Stripe reports payments. Inside
	// the settings form.
	$buyers_settings = static function () use ( $ostrel, $other_providers ) {
		$grants  = $ostrel['grants'];
		$stripe  = $ostrel['stripe'];
		$access  = $grants->buyers_only() ? 'buyers' : 'anyone';
		$choices = array(
			'anyone' => array(
				__( 'Anyone with the download page\'s address', '#prefix#' ),
				__( 'Not per buyer: whoever has the address downloads, as often as they like, until you give the page a new address.', '#prefix#' ),
			),
			'buyers' => array(
				__( 'Only verified buyers', '#prefix#' ),
				__( 'Each buyer gets a personal link by e-mail once the payment provider confirms the payment; the address alone opens nothing. A refund ends the buyer\'s access.', '#prefix#' ),
			),
		);
		$last    = $stripe->last_seen();
		$masked  = $stripe->masked_secret();
		?>
		<h2 id="ostrel-access"><?php esc_html_e( 'Who gets the product', '#prefix#' ); ?></h2>
		<?php if ( 'buyers' === $access && '' === $masked && ! $ostrel['paypal']->ready() && ! $ostrel['lemonsqueezy']->ready() ) : ?>
			<div class="notice notice-error inline ostrel-no-provider"><p><?php esc_html_e( 'Only verified buyers get the product, but no payment provider is set up: nobody can get access. Set up Stripe, PayPal or Lemon Squeezy below.', '#prefix#' ); ?></p></div>
		<?php endif; ?>
		<table class="form-table" role="presentation">
			<tr>
				<th scope="row"><?php esc_html_e( 'Who gets the product', '#prefix#' ); ?></th>
				<td>
					<fieldset>
						<?php foreach ( $choices as $value => $choice ) : ?>
							<label><input type="radio" name="<?php echo esc_attr( $ostrel['access_option'] ); ?>" value="<?php echo esc_attr( $value ); ?>" <?php checked( $access, $value ); ?>> <?php echo esc_html( $choice[0] ); ?></label>
							<p class="description"><?php echo esc_html( $choice[1] ); ?></p>
						<?php endforeach; ?>
					</fieldset>
				</td>
			</tr>
			<tr>
				<th scope="row"><label for="<?php echo esc_attr( $ostrel['grant_days_option'] ); ?>"><?php esc_html_e( 'A buyer\'s access lasts', '#prefix#' ); ?></label></th>
				<td>
					<input type="number" min="0" max="<?php echo esc_attr( (string) $grants::MAX_DAYS ); ?>" step="1" class="small-text" id="<?php echo esc_attr( $ostrel['grant_days_option'] ); ?>" name="<?php echo esc_attr( $ostrel['grant_days_option'] ); ?>" value="<?php echo esc_attr( (string) $grants->days() ); ?>"> <?php esc_html_e( 'days', '#prefix#' ); ?>
					<p class="description"><?php esc_html_e( 'From the payment. 0 means it never expires. Applies to purchases from now on.', '#prefix#' ); ?></p>
				</td>
			</tr>
			<tr>
				<th scope="row"><label for="<?php echo esc_attr( $ostrel['grant_limit_option'] ); ?>"><?php esc_html_e( 'Downloads of each file per buyer', '#prefix#' ); ?></label></th>
				<td>
					<input type="number" min="0" max="<?php echo esc_attr( (string) $grants::MAX_LIMIT ); ?>" step="1" class="small-text" id="<?php echo esc_attr( $ostrel['grant_limit_option'] ); ?>" name="<?php echo esc_attr( $ostrel['grant_limit_option'] ); ?>" value="<?php echo esc_attr( (string) $grants->limit() ); ?>">
					<p class="description"><?php esc_html_e( '0 means unlimited. A download resumed within ten minutes counts once. Applies to purchases from now on.', '#prefix#' ); ?></p>
				</td>
			</tr>
			<tr>
				<th scope="row"><label for="<?php echo esc_attr( $ostrel['mail_subject_option'] ); ?>"><?php esc_html_e( 'The buyer\'s e-mail', '#prefix#' ); ?></label></th>
				<td>
					<input type="text" class="large-text" id="<?php echo esc_attr( $ostrel['mail_subject_option'] ); ?>" name="<?php echo esc_attr( $ostrel['mail_subject_option'] ); ?>" value="<?php echo esc_attr( (string) get_option( $ostrel['mail_subject_option'], '' ) ); ?>" placeholder="<?php echo esc_attr( $grants->default_subject() ); ?>">
					<textarea class="large-text" rows="6" id="<?php echo esc_attr( $ostrel['mail_body_option'] ); ?>" name="<?php echo esc_attr( $ostrel['mail_body_option'] ); ?>" placeholder="<?php echo esc_attr( $grants->default_body() ); ?>"><?php echo esc_textarea( (string) get_option( $ostrel['mail_body_option'], '' ) ); ?></textarea>
					<p class="description"><?php esc_html_e( 'Sent as soon as a payment is confirmed. {product} stands for the product\'s name, {link} for the buyer\'s personal link (added at the end if you leave it out). Left empty, the text shown greyed out is sent.', '#prefix#' ); ?></p>
				</td>
			</tr>
		</table>

		<h3><?php esc_html_e( 'Stripe', '#prefix#' ); ?></h3>
		<table class="form-table ostrel-stripe" role="presentation">
			<tr>
				<th scope="row"><?php esc_html_e( 'Endpoint URL', '#prefix#' ); ?></th>
				<td>
					<code class="ostrel-stripe-url"><?php echo esc_html( $stripe->url() ); ?></code>
					<p class="description"><?php esc_html_e( 'In your Stripe Dashboard, under Developers, Webhooks, add an endpoint with this address.', '#prefix#' ); ?></p>
				</td>
			</tr>
			<tr>
				<th scope="row"><?php esc_html_e( 'Events to send', '#prefix#' ); ?></th>
				<td>
					<code><?php echo esc_html( implode( ', ', $stripe->events() ) ); ?></code>
					<p class="description"><?php esc_html_e( 'In your payment link or checkout, set the page after payment to the download page\'s address followed by ?session_id={CHECKOUT_SESSION_ID}, so buyers see their download at once.', '#prefix#' ); ?></p>
				</td>
			</tr>
			<tr>
				<th scope="row"><label for="<?php echo esc_attr( $ostrel['stripe_secret_option'] ); ?>"><?php esc_html_e( 'Signing secret', '#prefix#' ); ?></label></th>
				<td>
					<input type="password" class="regular-text code" autocomplete="off" id="<?php echo esc_attr( $ostrel['stripe_secret_option'] ); ?>" name="<?php echo esc_attr( $ostrel['stripe_secret_option'] ); ?>" value="">
					<p class="description">
						<?php if ( '' === $masked ) : ?>
							<?php esc_html_e( 'Not set. Paste the endpoint\'s signing secret (whsec_…), shown on its page in Stripe.', '#prefix#' ); ?>
						<?php else : ?>
							<?php
							/* translators: %s: the end of the saved secret, such as "whsec_…a1b2". */
							echo esc_html( sprintf( __( 'Saved: %s. Leave empty to keep it, or paste a new one to replace it.', '#prefix#' ), $masked ) );
							?>
						<?php endif; ?>
					</p>
				</td>
			</tr>
			<tr>
				<th scope="row"><?php esc_html_e( 'Last notification', '#prefix#' ); ?></th>
				<td class="ostrel-stripe-last">
					<?php if ( $last ) : ?>
						<?php
						/* translators: %s: a date and time. */
						echo esc_html( sprintf( __( 'The last correctly signed notification arrived on %s.', '#prefix#' ), wp_date( get_option( 'date_format' ) . ' ' . get_option( 'time_format' ), $last ) ) );
						?>
					<?php else : ?>
						<?php esc_html_e( 'No correctly signed notification has arrived yet. Send a test event from Stripe to check the setup.', '#prefix#' ); ?>
					<?php endif; ?>
				</td>
			</tr>
		</table>
		<?php
		$other_providers();
	};

	$render = static function () use ( $ostrel, $action_button, $public_notice, $buyers_settings ) {
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
				$ostrel['grants']->buyers_only()
					? __( 'Only verified buyers get the product here: a visitor needs the personal link from their e-mail, or to come back from the payment provider\'s checkout.', '#prefix#' )
					: __( 'Give this address to your payment provider or autoresponder as the page buyers go to after paying or signing up. Keep it private: anyone who has it can download.', '#prefix#' ),
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
			<?php else : ?>
				<?php $ostrel['buyers']->notice( $done ); ?>
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

			<?php $ostrel['buyers']->render(); ?>

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
				<?php $buyers_settings(); ?>
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

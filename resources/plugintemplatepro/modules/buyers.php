<?php
defined( 'ABSPATH' ) || exit;

// The buyers' grants as people see them: the form for a lost link on the download page, the
// seller's list in the plugin's menu with Revoke, Reset downloads and Re-send, and WordPress's
// privacy tools: a buyer's data exported and erased, and the paragraph for the privacy policy.
return static function ( array $ostrel ) {
	return new class( $ostrel ) {
		/** @var array */
		private $ostrel;
		private $grants;

		public function __construct( array $ostrel ) {
			$this->ostrel = $ostrel;
			$this->grants = $ostrel['grants'];
		}

		public function register() {
			// The form for a lost link posts to the download page, which answers it before
			// anything of the page is made.
			add_action(
				'template_redirect',
				function () {
					$id = (int) get_option( $this->ostrel['download_option'] );
					if ( $id && is_singular( $this->ostrel['post_type'] ) && get_queried_object_id() === $id
						&& $this->grants->buyers_only() && $this->grants->resend_posted() ) {
						$this->grants->resend_request();
					}
				},
				1
			);
			add_filter( 'wp_privacy_personal_data_exporters', array( $this, 'exporters' ) );
			add_filter( 'wp_privacy_personal_data_erasers', array( $this, 'erasers' ) );
			add_action( 'admin_init', array( $this, 'policy' ) );
			foreach ( array( 'revoke', 'reset', 'resend' ) as $name ) {
				add_action(
					'admin_post_' . $this->action( $name ),
					function () use ( $name ) {
						$this->run( $name );
					}
				);
			}
		}

		/** The admin-post.php action of a button of the list. */
		private function action( $name ) {
			return 'ostrel_' . $this->ostrel['slug'] . '_grant_' . $name;
		}

		/** The nonce's action: one button, one grant. */
		private function nonce_action( $name, $id ) {
			return $this->action( $name ) . '|' . $id;
		}

		private function menu_url() {
			return admin_url( 'admin.php?page=' . $this->ostrel['menu_slug'] );
		}

		private function provider_name( $provider ) {
			return 'stripe' === $provider ? 'Stripe' : (string) $provider;
		}

		private function date( $time ) {
			return wp_date( get_option( 'date_format' ) . ' ' . get_option( 'time_format' ), (int) $time );
		}

		/** What a status is called, in the list and the export. */
		private function status_name( $status ) {
			$names = array(
				'active'  => __( 'Active', '#prefix#' ),
				'used'    => __( 'Used up', '#prefix#' ),
				'expired' => __( 'Expired', '#prefix#' ),
				'revoked' => __( 'Revoked', '#prefix#' ),
			);
			return isset( $names[ $status ] ) ? $names[ $status ] : $status;
		}

		/** The order id as the list shows it: its last four characters only. */
		private function masked_order( $grant ) {
			$tail = isset( $grant->order_tail ) ? (string) $grant->order_tail : '';
			return '' === $tail ? '—' : '…' . $tail;
		}

		/** Downloads used, against the allowance of all files together. */
		private function downloads( $grant, array $usage, $files ) {
			$limit = (int) $grant->download_limit;
			if ( ! $limit || ! $files ) {
				/* translators: %s: a number of downloads. */
				return sprintf( __( '%s (no limit)', '#prefix#' ), number_format_i18n( $usage[0] ) );
			}
			/* translators: 1: downloads used, 2: downloads allowed, all files together. */
			return sprintf( __( '%1$s of %2$s', '#prefix#' ), number_format_i18n( $usage[0] ), number_format_i18n( $limit * $files ) );
		}

		/** Runs a button of the list for the site's owner, and goes back to the list with a notice. */
		private function run( $name ) {
			if ( ! current_user_can( $this->ostrel['owner_cap']() ) ) {
				wp_die( esc_html__( 'Sorry, you are not allowed to do this.', '#prefix#' ), '', array( 'response' => 403 ) );
			}
			// The nonce is checked right below, for this grant and button.
			// phpcs:disable WordPress.Security.NonceVerification.Missing
			$id    = isset( $_POST['grant'] ) && is_string( $_POST['grant'] ) ? sanitize_key( wp_unslash( $_POST['grant'] ) ) : '';
			$page  = isset( $_POST['paged'] ) ? max( 1, absint( $_POST['paged'] ) ) : 1;
			$typed = isset( $_POST['email'] ) && is_string( $_POST['email'] ) ? sanitize_text_field( wp_unslash( $_POST['email'] ) ) : '';
			// phpcs:enable WordPress.Security.NonceVerification.Missing
			check_admin_referer( $this->nonce_action( $name, $id ) );
			$grant = $this->grants->by_id( $id );
			if ( ! $grant ) {
				$done = 'grant_missing';
			} elseif ( 'revoke' === $name ) {
				$done = $this->grants->revoke( $grant ) ? 'grant_revoked' : 'grant_failed';
			} elseif ( 'reset' === $name ) {
				$done = $this->grants->reset_downloads( $grant ) ? 'grant_reset' : 'grant_failed';
			} elseif ( 'ok' !== $this->grants->state( $grant ) ) {
				$done = 'grant_ended';
			} elseif ( ! $this->grants->email_matches( $grant, $typed ) ) {
				$done = 'grant_mismatch';
			} else {
				$done = $this->grants->renew( $grant, $typed ) ? 'grant_sent' : 'grant_unsent';
			}
			$back = add_query_arg( 'ostrel_done', $done, $this->menu_url() );
			wp_safe_redirect( ( $page > 1 ? add_query_arg( 'paged', $page, $back ) : $back ) . '#ostrel-buyers' );
			exit;
		}

		/** The notice for what a button of the list did, if $done names one. */
		public function notice( $done ) {
			$notices = array(
				'grant_revoked'  => array( 'success', __( 'The purchase\'s access was revoked: its personal link, the cookies in the buyer\'s browsers and the download links given out open nothing any more.', '#prefix#' ) ),
				'grant_reset'    => array( 'success', __( 'The purchase\'s downloads were reset: the buyer has the whole allowance of each file again.', '#prefix#' ) ),
				'grant_sent'     => array( 'success', __( 'A new personal link was sent to the address you typed. The link sent before no longer works.', '#prefix#' ) ),
				'grant_mismatch' => array( 'error', __( 'That is not the address this purchase was made with, so nothing was sent. Type the address the buyer paid with, as the payment provider shows it.', '#prefix#' ) ),
				'grant_ended'    => array( 'error', __( 'This purchase\'s access has ended (revoked or expired), so no link was sent: it would open nothing.', '#prefix#' ) ),
				'grant_unsent'   => array( 'error', __( 'The new link could not be mailed, so the buyer\'s old link still works. Check that this site can send e-mail.', '#prefix#' ) ),
				'grant_missing'  => array( 'error', __( 'That purchase is no longer in the list.', '#prefix#' ) ),
				'grant_failed'   => array( 'error', __( 'The database did not take the change. Please try again.', '#prefix#' ) ),
			);
			if ( ! isset( $notices[ $done ] ) ) {
				return;
			}
			echo '<div class="notice notice-' . esc_attr( $notices[ $done ][0] ) . ' ostrel-grant-notice"><p>' . esc_html( $notices[ $done ][1] ) . '</p></div>';
		}

		/** A button of the list: a form posting to admin-post.php, with its own nonce. */
		private function button( $name, $grant, $page, $caption, $field = '' ) {
			?>
			<form method="post" action="<?php echo esc_url( admin_url( 'admin-post.php' ) ); ?>" class="ostrel-grant-<?php echo esc_attr( $name ); ?>" style="display:inline-block;margin:0 .5em .3em 0">
				<input type="hidden" name="action" value="<?php echo esc_attr( $this->action( $name ) ); ?>">
				<input type="hidden" name="grant" value="<?php echo esc_attr( $grant->id ); ?>">
				<input type="hidden" name="paged" value="<?php echo esc_attr( (string) $page ); ?>">
				<input type="hidden" name="_wpnonce" value="<?php echo esc_attr( wp_create_nonce( $this->nonce_action( $name, $grant->id ) ) ); ?>">
				<?php if ( '' !== $field ) : ?>
					<input type="email" name="email" required class="regular-text" style="width:16em" placeholder="<?php echo esc_attr( $field ); ?>" aria-label="<?php echo esc_attr( $field ); ?>">
				<?php endif; ?>
				<button type="submit" class="button"><?php echo esc_html( $caption ); ?></button>
			</form>
			<?php
		}

		/** The list of grants, newest first, a page at a time; outside the settings form. */
		public function render() {
			$page                   = isset( $_GET['paged'] ) ? max( 1, absint( $_GET['paged'] ) ) : 1; // phpcs:ignore WordPress.Security.NonceVerification.Recommended -- which page of the list is shown
			list( $grants, $total ) = $this->grants->page_of_grants( $page );
			if ( ! $total && ! $this->grants->buyers_only() ) {
				return;
			}
			$list  = $this->grants;
			$paths = $this->ostrel['store']->files();
			$usage = $list->usage( $grants, $paths );
			$pages = (int) ceil( $total / $list::PER_PAGE );
			?>
			<h2 id="ostrel-buyers"><?php esc_html_e( 'Buyers', '#prefix#' ); ?></h2>
			<?php
			if ( ! $total ) {
				echo '<p>' . esc_html__( 'No purchase has been confirmed yet.', '#prefix#' ) . '</p>';
				return;
			}
			?>
			<p><?php esc_html_e( 'Each purchase the payment provider confirmed, newest first. Revoke ends its access at once; Reset downloads gives the buyer the whole allowance of each file again.', '#prefix#' ); ?></p>
			<p class="description ostrel-resend-note"><?php esc_html_e( 'The plugin keeps no buyer\'s e-mail address, only a fingerprint of it. To send a buyer a new personal link, type the address they paid with beside Re-send: it must be that very address, and the link sent before stops working.', '#prefix#' ); ?></p>
			<table class="widefat striped ostrel-grants">
				<thead>
					<tr>
						<th scope="col"><?php esc_html_e( 'Provider', '#prefix#' ); ?></th>
						<th scope="col"><?php esc_html_e( 'Purchased', '#prefix#' ); ?></th>
						<th scope="col"><?php esc_html_e( 'Order', '#prefix#' ); ?></th>
						<th scope="col"><?php esc_html_e( 'Downloads used', '#prefix#' ); ?></th>
						<th scope="col"><?php esc_html_e( 'Status', '#prefix#' ); ?></th>
						<th scope="col"><?php esc_html_e( 'Actions', '#prefix#' ); ?></th>
					</tr>
				</thead>
				<tbody>
					<?php foreach ( $grants as $grant ) : ?>
						<?php $status = $this->grants->status( $grant, $usage[ $grant->id ], count( $paths ) ); ?>
						<tr class="ostrel-grant" id="ostrel-grant-<?php echo esc_attr( $grant->id ); ?>">
							<td class="ostrel-grant-provider"><?php echo esc_html( $this->provider_name( $grant->provider ) ); ?></td>
							<td class="ostrel-grant-date"><?php echo esc_html( $this->date( $grant->created ) ); ?></td>
							<td class="ostrel-grant-order"><code><?php echo esc_html( $this->masked_order( $grant ) ); ?></code></td>
							<td class="ostrel-grant-downloads"><?php echo esc_html( $this->downloads( $grant, $usage[ $grant->id ], count( $paths ) ) ); ?></td>
							<td>
								<strong class="ostrel-grant-status"><?php echo esc_html( $this->status_name( $status ) ); ?></strong>
								<?php if ( (int) $grant->expires && 'revoked' !== $status ) : ?>
									<br><span class="description">
										<?php
										/* translators: %s: a date and time. */
										echo esc_html( sprintf( __( 'until %s', '#prefix#' ), $this->date( $grant->expires ) ) );
										?>
									</span>
								<?php endif; ?>
							</td>
							<td>
								<?php
								if ( 'revoked' !== $status ) {
									$this->button( 'revoke', $grant, $page, __( 'Revoke', '#prefix#' ) );
								}
								$this->button( 'reset', $grant, $page, __( 'Reset downloads', '#prefix#' ) );
								if ( 'active' === $status || 'used' === $status ) {
									$this->button( 'resend', $grant, $page, __( 'Re-send', '#prefix#' ), __( 'The address the buyer paid with', '#prefix#' ) );
								}
								?>
							</td>
						</tr>
					<?php endforeach; ?>
				</tbody>
			</table>
			<?php if ( $pages > 1 ) : ?>
				<div class="tablenav"><div class="tablenav-pages">
					<?php
					echo wp_kses_post(
						paginate_links(
							array(
								'base'    => add_query_arg( 'paged', '%#%', $this->menu_url() ),
								'format'  => '',
								'current' => min( $page, $pages ),
								'total'   => $pages,
							)
						)
					);
					?>
				</div></div>
			<?php endif; ?>
			<?php
		}

		/** The label of the plugin's part of an export. */
		private function label() {
			/* translators: %s: the product's name. */
			return sprintf( __( '%s: purchases', '#prefix#' ), $this->ostrel['name'] );
		}

		public function exporters( $exporters ) {
			$exporters[ 'ostrel-' . $this->ostrel['slug'] ] = array(
				'exporter_friendly_name' => $this->label(),
				'callback'               => array( $this, 'export' ),
			);
			return $exporters;
		}

		public function erasers( $erasers ) {
			$erasers[ 'ostrel-' . $this->ostrel['slug'] ] = array(
				'eraser_friendly_name' => $this->label(),
				'callback'             => array( $this, 'erase' ),
			);
			return $erasers;
		}

		/** What the plugin keeps of the buyer with this address, for WordPress's export, 50 purchases a page. */
		public function export( $email, $page = 1 ) {
			$per    = 50;
			$grants = $this->grants->by_email( $email, $per, $per * ( max( 1, (int) $page ) - 1 ) );
			$paths  = $this->ostrel['store']->files();
			$usage  = $this->grants->usage( $grants, $paths );
			$items  = array();
			foreach ( $grants as $grant ) {
				$items[] = array(
					'group_id'          => 'ostrel-' . $this->ostrel['slug'] . '-purchases',
					'group_label'       => $this->label(),
					'group_description' => __( 'Purchases of the product that the payment provider confirmed, and the downloads they allow. The e-mail address and the order are kept only as keyed hashes.', '#prefix#' ),
					'item_id'           => 'ostrel-' . $this->ostrel['slug'] . '-' . $grant->id,
					'data'              => array(
						array(
							'name'  => __( 'Payment provider', '#prefix#' ),
							'value' => $this->provider_name( $grant->provider ),
						),
						array(
							'name'  => __( 'Order', '#prefix#' ),
							'value' => $this->masked_order( $grant ),
						),
						array(
							'name'  => __( 'Purchased', '#prefix#' ),
							'value' => $this->date( $grant->created ),
						),
						array(
							'name'  => __( 'Access until', '#prefix#' ),
							'value' => (int) $grant->expires ? $this->date( $grant->expires ) : __( 'No end', '#prefix#' ),
						),
						array(
							'name'  => __( 'Downloads used', '#prefix#' ),
							'value' => $this->downloads( $grant, $usage[ $grant->id ], count( $paths ) ),
						),
						array(
							'name'  => __( 'Status', '#prefix#' ),
							'value' => $this->status_name( $this->grants->status( $grant, $usage[ $grant->id ], count( $paths ) ) ),
						),
					),
				);
			}
			return array(
				'data' => $items,
				'done' => count( $grants ) < $per,
			);
		}

		/** Deletes the purchases of the buyer with this address, with their downloads' counts. */
		public function erase( $email, $page = 1 ) {
			$erased = $this->grants->erase_email( $email );
			return array(
				'items_removed'  => (bool) $erased,
				'items_retained' => null === $erased,
				'messages'       => null === $erased ? array( __( 'The purchases could not be erased: the database refused. Please try again.', '#prefix#' ) ) : array(),
				'done'           => true,
			);
		}

		/** The plugin's paragraph in the guide to the site's privacy policy. */
		public function policy() {
			if ( ! function_exists( 'wp_add_privacy_policy_content' ) ) {
				return;
			}
			$text = '<p class="privacy-policy-tutorial">' . esc_html__( 'This applies when the product goes to verified buyers only. While the download page is open to anyone who has its address, the plugin keeps nothing about its visitors.', '#prefix#' ) . '</p>'
				. '<p><strong class="privacy-policy-tutorial">' . esc_html__( 'Suggested text:', '#prefix#' ) . ' </strong>'
				. esc_html__( 'When you buy the product, the payment provider tells this site that your payment went through, and the site keeps a record of the purchase so that you can download the product: which payment provider reported it, when, until when your access lasts, how many times you downloaded each file and when you last did, and the last four characters of the order number. Your e-mail address, the order number and the payment number are kept only as keyed hashes, fingerprints from which they cannot be read back; your e-mail address itself is used to send you your personal download link and is not kept. Your personal link\'s key is kept only as a hash too. No name, IP address or payment details are kept.', '#prefix#' ) . '</p>'
				. '<p>' . esc_html__( 'Once you open your personal link, your browser keeps a cookie with its key, until your access ends (after a year when it has no end). When you ask the download page for a new link, a keyed hash of your e-mail address and one of your IP address are kept for an hour, to limit how often that can be asked.', '#prefix#' ) . '</p>'
				. '<p>' . esc_html__( 'The record of your purchase is kept until the site owner removes the plugin, or until you ask for your personal data to be erased. You can also ask for a copy of it.', '#prefix#' ) . '</p>';
			wp_add_privacy_policy_content( $this->ostrel['name'], $text );
		}
	};
};

<?php
defined( 'ABSPATH' ) || exit;

// The plugin's menu: the HTML that replaces the tags, and the addresses of both pages.
return static function ( array $ostrel ) {
	$render = static function () use ( $ostrel ) {
		if ( ! current_user_can( 'manage_options' ) ) {
			return;
		}
		$pages = array(
			'sales_option'    => array(
				'Sales page',
				'Send your visitors here.',
			),
			'download_option' => array(
				'Download page',
				'Give this address to your payment provider or autoresponder as the page buyers go to after paying or signing up. Keep it private: anyone who has it can download.',
			),
		);
		$fields = array(
			'front_option' => array(
				'Sales page: buy button or sign-up form',
				'HTML that stands where #FRONT# was, e.g. the button or form from your payment provider or autoresponder.',
				'The sales page has no buy button or sign-up form yet.',
			),
			'back_option'  => array(
				'Download page: download button or links',
				'HTML that stands where #BACK# was, e.g. links to the product files.',
				'The download page has no download button or links yet.',
			),
		);
		?>
		<div class="wrap">
			<h1><?php echo esc_html( $ostrel['name'] ); ?></h1>
			<?php settings_errors(); ?>
			<?php foreach ( $fields as $key => $field ) : ?>
				<?php if ( '' === trim( (string) get_option( $ostrel[ $key ], '' ) ) ) : ?>
					<div class="notice notice-warning inline"><p><?php echo esc_html( $field[2] ); ?></p></div>
				<?php endif; ?>
			<?php endforeach; ?>

			<h2>Addresses</h2>
			<table class="form-table" role="presentation">
				<?php foreach ( $pages as $key => $page ) : ?>
					<?php $url = get_permalink( (int) get_option( $ostrel[ $key ] ) ); ?>
					<tr>
						<th scope="row"><?php echo esc_html( $page[0] ); ?></th>
						<td>
							<?php if ( $url ) : ?>
								<a class="ostrel-address" href="<?php echo esc_url( $url ); ?>"><?php echo esc_html( $url ); ?></a>
								<p class="description"><?php echo esc_html( $page[1] ); ?></p>
							<?php else : ?>
								<p>This page is missing. Deactivate and activate the plugin to create it again.</p>
							<?php endif; ?>
						</td>
					</tr>
				<?php endforeach; ?>
			</table>

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
			add_menu_page( $title, $title, 'manage_options', $ostrel['menu_slug'], $render, 'dashicons-cart' );
		}
	);
};

#header#
<?php
defined( 'ABSPATH' ) || exit;

require_once __DIR__ . '/modules/cpt.php';
require_once __DIR__ . '/modules/cpt_template_loader.php';

add_action(
	'admin_menu',
	function () {
		$menu_name = <<<'OSTREL_MENU_NAME'
#menuname#
OSTREL_MENU_NAME;
		add_menu_page(
			$menu_name,
			$menu_name,
			'manage_options',
			'ostrel-#prefix#',
			function () use ( $menu_name ) {
				echo '<div class="wrap"><h1>' . esc_html( $menu_name ) . '</h1></div>';
			}
		);
	}
);

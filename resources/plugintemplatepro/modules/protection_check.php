<?php
defined( 'ABSPATH' ) || exit;

// Checks on the real host that the web server refuses the product's files.
return static function ( array $ostrel, $store ) {
	return new class( $ostrel, $store ) {
		/** @var array */
		private $ostrel;
		private $store;

		public function __construct( array $ostrel, $store ) {
			$this->ostrel = $ostrel;
			$this->store  = $store;
		}

		/** The plugin page's section on the protection. */
		public function report() {
		}
	};
};

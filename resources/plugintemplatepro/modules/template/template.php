<?php
defined( 'ABSPATH' ) || exit;

$front_tag = (string) get_option( 'ostrel_#prefix#_front_tag', '' );
include __DIR__ . '/converted_index.php';

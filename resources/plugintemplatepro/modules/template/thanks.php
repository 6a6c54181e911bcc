<?php
defined( 'ABSPATH' ) || exit;

$back_tag = (string) get_option( 'ostrel_#prefix#_back_tag', '' );
include __DIR__ . '/converted_download.php';

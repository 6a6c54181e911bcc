<?php
defined( 'ABSPATH' ) || exit;

// The private store: the product's files leave the plugin's folder, which anyone can read, for a
// folder of the uploads folder with an unguessable name that the web server refuses to serve.
// An anonymous class, so several Ostrel plugins never claim the same name.
return static function ( array $ostrel ) {
	return new class( $ostrel ) {
		/** @var array */
		private $ostrel;
		/** @var WP_Filesystem_Direct|null */
		private $fs;
		/** @var string|null */
		private $packed;

		public function __construct( array $ostrel ) {
			$this->ostrel = $ostrel;
		}

		/**
		 * WordPress's direct file access. The store is written while buyers and visitors browse,
		 * by the web server's own user, so there are no credentials to ask for; modes are given
		 * with each call, so none of the constants WP_Filesystem() would define is needed.
		 */
		public function fs() {
			if ( null === $this->fs ) {
				require_once ABSPATH . 'wp-admin/includes/class-wp-filesystem-base.php';
				require_once ABSPATH . 'wp-admin/includes/class-wp-filesystem-direct.php';
				$this->fs = new WP_Filesystem_Direct( null );
			}
			return $this->fs;
		}

		/**
		 * The product's files, relative to modules/template; a file's number is its key.
		 *
		 * @return string[]
		 */
		public function files() {
			return $this->path_list( 'delivery.php' );
		}

		/** The store's folder, or '' while it has not been made. */
		public function dir() {
			$name = $this->setting( 'store_option', '' );
			if ( ! is_string( $name ) || ! preg_match( '#^ostrel-[a-z0-9_-]+/[A-Za-z0-9]{32}$#', $name ) ) {
				return '';
			}
			$uploads = $this->uploads();
			return $uploads['basedir'] . '/' . $name;
		}

		// The sites of a network share the plugin's folder, so they share one store too: its
		// settings are the network's, and it lies in the main site's uploads folder.
		private function setting( $key, $fallback ) {
			return is_multisite() ? get_site_option( $this->ostrel[ $key ], $fallback ) : get_option( $this->ostrel[ $key ], $fallback );
		}

		private function save_setting( $key, $value ) {
			if ( is_multisite() ) {
				update_site_option( $this->ostrel[ $key ], $value );
			} else {
				update_option( $this->ostrel[ $key ], $value, false );
			}
		}

		private function forget_setting( $key ) {
			if ( is_multisite() ) {
				delete_site_option( $this->ostrel[ $key ] );
			} else {
				delete_option( $this->ostrel[ $key ] );
			}
		}

		/** The uploads folder the store lies in: the main site's on a network. */
		public function uploads() {
			if ( ! is_multisite() || is_main_site() ) {
				return wp_upload_dir( null, false );
			}
			switch_to_blog( get_main_site_id() );
			$uploads = wp_upload_dir( null, false );
			restore_current_blog();
			return $uploads;
		}

		/** Where a delivery file lives once it is private. */
		public function stored_path( $path ) {
			$dir = $this->dir();
			return '' === $dir ? '' : $dir . '/files/' . $path;
		}

		/** Where the build put a delivery file, inside the plugin's folder. */
		public function public_path( $path ) {
			return __DIR__ . '/' . $this->public_relative( $path );
		}

		/** The same, relative to the plugin's modules folder. */
		public function public_relative( $path ) {
			return $this->packed_folder() . '/' . $path;
		}

		/** Where the build put a page or other file of the site, inside the plugin's folder. */
		public function template_path( $path ) {
			return __DIR__ . '/template/' . $path;
		}

		/**
		 * The folder of modules the archive holds the product's files in: one with a name nobody
		 * can guess, as no rules for the web server may come in the archive.
		 */
		private function packed_folder() {
			// Asked for each file on every request's sweep: read once a sweep (see sweep()).
			if ( null === $this->packed ) {
				$file         = __DIR__ . '/delivery_folder.php';
				$folder       = is_file( $file ) ? require $file : '';
				$this->packed = is_string( $folder ) && preg_match( '/^product-[a-z0-9]{32}$/', $folder ) ? $folder : 'template';
			}
			return $this->packed;
		}

		/** Where the build put something the store keeps, by the kind of thing it is. */
		private function built_path( $kind, $path ) {
			return 'files' === $kind ? $this->public_path( $path ) : $this->template_path( $path );
		}

		/**
		 * Files that could not be made private and are still in the plugin's folder, with the
		 * reason for each.
		 *
		 * @return array<string, string>
		 */
		public function problems() {
			$problems = $this->setting( 'problems_option', array() );
			return array_filter(
				is_array( $problems ) ? $problems : array(),
				function ( $path ) {
					return is_file( $this->public_path( $path ) ) || is_file( $this->template_path( $path ) );
				},
				ARRAY_FILTER_USE_KEY
			);
		}

		/**
		 * Moves the product's files and the private pages found in the plugin's folder into the
		 * store, over older copies: after activation, and after a newer version of the plugin was
		 * uploaded over this one. Cheap when there is nothing to move.
		 */
		public function sweep() {
			// Read afresh: a newer version uploaded during this request packs its files elsewhere.
			$this->packed = null;

			$found = array();
			foreach ( $this->kept() as $kind => $paths ) {
				foreach ( $paths as $path ) {
					if ( is_file( $this->built_path( $kind, $path ) ) ) {
						$found[ $path ] = $kind;
					}
				}
			}
			// Most requests end here, without asking the database anything.
			if ( ! $found ) {
				return;
			}
			// Refused by the web server too while the files are there, should a move fail.
			if ( 'template' !== $this->packed_folder() ) {
				$this->guard( __DIR__ . '/' . $this->packed_folder(), true );
			}
			$dir      = $this->ensure();
			$problems = array();
			foreach ( $found as $path => $kind ) {
				$problems[ $path ] = is_wp_error( $dir ) ? $dir->get_error_message()
					: $this->move( $this->built_path( $kind, $path ), $dir, $kind . '/' . $path );
			}
			if ( ! is_wp_error( $dir ) ) {
				$this->prune( $dir );
			}
			$problems = array_filter( $problems );
			// Against what is stored, not what still holds: a file moved since leaves the record too.
			if ( $problems !== $this->setting( 'problems_option', array() ) ) {
				if ( $problems ) {
					$this->save_setting( 'problems_option', $problems );
				} else {
					$this->forget_setting( 'problems_option' );
				}
			}
		}

		/**
		 * Makes the store and its guards where they are missing.
		 *
		 * @return string|WP_Error The store's folder.
		 */
		public function ensure() {
			$uploads = $this->uploads();
			if ( ! empty( $uploads['error'] ) ) {
				return new WP_Error( 'ostrel_store', $uploads['error'] );
			}
			if ( '' === $this->dir() ) {
				$name = $this->ostrel['store_parent'] . '/' . wp_generate_password( 32, false );
				$this->save_setting( 'store_option', $name );
			}
			$dir = $this->dir();
			foreach ( array( dirname( $dir ), $dir ) as $folder ) {
				if ( ! wp_mkdir_p( $folder ) ) {
					/* translators: %s: a folder. */
					$message = sprintf( __( 'The folder %s cannot be created.', '#prefix#' ), $folder );
					return new WP_Error( 'ostrel_store', $message );
				}
				$problem = $this->guard( $folder, true );
				if ( '' !== $problem ) {
					return new WP_Error( 'ostrel_store', $problem );
				}
			}
			return $dir;
		}

		/** Deletes the store with everything in it and its settings, and its parent folder once empty. */
		public function delete() {
			$dir = $this->dir();
			$this->forget_setting( 'store_option' );
			$this->forget_setting( 'problems_option' );
			if ( '' === $dir || ! is_dir( $dir ) || is_link( $dir ) ) {
				return;
			}
			$this->remove_tree( $dir );
			$parent = dirname( $dir );
			foreach ( $this->guard_files() as $name => $content ) {
				if ( is_file( "$parent/$name" ) && $this->fs()->get_contents( "$parent/$name" ) === $content ) {
					wp_delete_file( "$parent/$name" );
				}
			}
			$this->fs()->rmdir( $parent ); // stays when something else was put there
		}

		/**
		 * Removes what an earlier version put into the store and this one no longer lists, so the
		 * store holds the current version's files only.
		 */
		private function prune( $store ) {
			$keep = array();
			foreach ( $this->kept() as $kind => $paths ) {
				foreach ( $paths as $path ) {
					$keep[ $kind . '/' . $path ] = true;
				}
				$this->prune_folder( $store, $kind, $keep );
			}
		}

		/** What the store keeps, by the folder of the store each kind goes to. */
		private function kept() {
			return array(
				'files' => $this->files(),
				'pages' => $this->path_list( 'private_pages.php' ),
			);
		}

		private function prune_folder( $store, $relative, array $keep ) {
			$folder = $store . '/' . $relative;
			if ( is_link( $folder ) || ! is_dir( $folder ) ) {
				return;
			}
			foreach ( (array) scandir( $folder ) as $name ) {
				if ( ! is_string( $name ) || '.' === $name || '..' === $name || isset( $this->guard_files()[ $name ] ) ) {
					continue;
				}
				$path = $relative . '/' . $name;
				if ( is_dir( "$store/$path" ) && ! is_link( "$store/$path" ) ) {
					$this->prune_folder( $store, $path, $keep );
				} elseif ( ! isset( $keep[ $path ] ) ) {
					wp_delete_file( "$store/$path" );
				}
			}
		}

		private function path_list( $name ) {
			$file = __DIR__ . '/' . $name;
			$list = is_file( $file ) ? require $file : array();
			return array_values( array_filter( (array) $list, array( $this, 'is_plain_path' ) ) );
		}

		/** A relative path that stays inside its folder. */
		private function is_plain_path( $path ) {
			return is_string( $path ) && '' !== $path && '/' !== $path[0]
				&& false === strpos( $path, "\0" ) && false === strpos( $path, '\\' )
				&& ! preg_match( '#(^|/)\.{0,2}(/|$)#', $path );
		}

		/** Moves one file into the store; returns '' or why it failed. */
		private function move( $from, $store, $relative ) {
			$to     = $store . '/' . $relative;
			$folder = $store;
			foreach ( explode( '/', dirname( $relative ) ) as $segment ) {
				$folder .= '/' . $segment;
				if ( ! wp_mkdir_p( $folder ) ) {
					/* translators: %s: a folder. */
					return sprintf( __( 'The folder %s cannot be created.', '#prefix#' ), $folder );
				}
				$problem = $this->guard( $folder, false );
				if ( '' !== $problem ) {
					return $problem;
				}
			}
			// Only where both folders take changes: WordPress would otherwise copy the file (with a
			// warning) on every request, or leave a copy behind in the plugin's folder.
			foreach ( array( dirname( $from ), dirname( $to ) ) as $folder ) {
				if ( ! wp_is_writable( $folder ) && ! ( dirname( $to ) === $folder && wp_is_writable( $to ) ) ) {
					/* translators: %s: a folder. */
					return sprintf( __( 'Permission denied: the web server may not change the folder %s', '#prefix#' ), $folder );
				}
			}
			error_clear_last();
			// Over an older copy; copied and deleted where a rename cannot cross to the uploads'
			// disk.
			if ( $this->fs()->move( $from, $to, true ) ) {
				return '';
			}
			$error = error_get_last();
			if ( ! file_exists( $from ) && is_file( $to ) ) {
				return ''; // another request moved it meanwhile
			}
			$reason = $error ? preg_replace( '/^rename\([^)]*\):\s*/', '', $error['message'] ) : __( 'it could not be moved', '#prefix#' );
			/* translators: 1: why a file could not be moved, 2: the folder it should have gone to. */
			return sprintf( __( '%1$s, when moving it into %2$s', '#prefix#' ), $reason, dirname( $to ) );
		}

		/** Writes what keeps a folder's files from being served or listed; returns '' or why not. */
		private function guard( $folder, $deny ) {
			foreach ( $this->guard_files() as $name => $content ) {
				if ( ( $deny || 'index.php' === $name ) && ! file_exists( "$folder/$name" )
					&& ! $this->fs()->put_contents( "$folder/$name", $content, 0644 ) ) {
					/* translators: 1: a folder, 2: a file's name. */
					return sprintf( __( 'The file %1$s/%2$s cannot be written.', '#prefix#' ), $folder, $name );
				}
			}
			return '';
		}

		private function guard_files() {
			return array(
				'.htaccess'  => "# Nothing in this folder is served: buyers get files through expiring links.\n"
					. "<IfModule mod_authz_core.c>\n\tRequire all denied\n</IfModule>\n"
					. "<IfModule !mod_authz_core.c>\n\tOrder deny,allow\n\tDeny from all\n</IfModule>\n",
				// Request filtering is part of every IIS: with no extension allowed, nothing is served.
				'web.config' => "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<configuration>\n\t<system.webServer>\n"
					. "\t\t<security>\n\t\t\t<requestFiltering>\n\t\t\t\t<fileExtensions allowUnlisted=\"false\" />\n"
					. "\t\t\t</requestFiltering>\n\t\t</security>\n"
					. "\t\t<directoryBrowse enabled=\"false\" />\n\t</system.webServer>\n</configuration>\n",
				'index.php'  => "<?php\n// Keeps web servers from listing this folder.\n",
			);
		}

		/** Deletes a folder and what it holds; links are removed, never followed. */
		private function remove_tree( $path ) {
			if ( is_link( $path ) || ! is_dir( $path ) ) {
				wp_delete_file( $path );
				return;
			}
			foreach ( (array) scandir( $path ) as $name ) {
				if ( '.' !== $name && '..' !== $name && is_string( $name ) ) {
					$this->remove_tree( $path . '/' . $name );
				}
			}
			$this->fs()->rmdir( $path );
		}
	};
};

#!/usr/bin/env bash
# Installs the Debian packages Ostrel needs to build, test and run, and unpacks the newest
# WordPress in Debian's archive for the WordPress test; does nothing when all are there.
set -euo pipefail

packages=(
    g++ cmake ninja-build pkg-config clang-format git libgumbo-dev
    qt6-base-dev qt6-webengine-dev libqt6webenginecore6-bin
    libgtest-dev libgmock-dev
    p7zip-full
    wordpress wordpress-theme-twentytwentythree mariadb-server apache2 libapache2-mod-php
    nginx php-fpm
    php-cli php-mysql php-xml php-zip php-mbstring php-gd curl unzip chromium python3-aiosmtpd python3-stripe
    fonts-dejavu-core fonts-liberation2
    dpkg-dev file lintian desktop-file-utils appstream
)

# The WordPress test also runs on the newest WordPress in Debian's archive, unpacked from unstable
# into a root of its own, nothing installed: it sits in usr/share/wordpress there, as Debian puts
# it. tests/CMakeLists.txt and test.sh read this line. Delete the folder to fetch a newer one.
latest_wordpress=/var/cache/ostrel-test/wordpress-latest
# The package, its theme (the package ships none), and the packages its links point into.
latest_packages=(
    wordpress wordpress-theme-twentytwentyfive
    php-getid3 libphp-phpmailer libjs-cropper libjs-jquery-ui libjs-lodash libjs-underscore
    ca-certificates
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && [ -f "$latest_wordpress/usr/share/wordpress/wp-includes/version.php" ] && exit 0
[ "$(id -u)" -ne 0 ] && exec sudo "$0" "$@"

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q
    apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

if [ ! -f "$latest_wordpress/usr/share/wordpress/wp-includes/version.php" ]; then
    echo "Unpacking the newest WordPress of Debian unstable into $latest_wordpress"
    umask 022
    apt_dir=$(mktemp -d)
    trap 'rm -rf "$apt_dir"' EXIT
    mkdir -p "$apt_dir/lists/partial" "$apt_dir/archives/partial" "$(dirname "$latest_wordpress")"
    keyring=/usr/share/keyrings/debian-archive-keyring.gpg
    echo "deb [signed-by=$keyring] http://deb.debian.org/debian unstable main" >"$apt_dir/sources.list"
    # apt with a source list, state and cache of its own, and no installed packages to weigh.
    private_apt=(-q -o Dir::Etc::SourceList="$apt_dir/sources.list" -o Dir::Etc::SourceParts=/dev/null
        -o Dir::Etc::Preferences=/dev/null -o Dir::Etc::PreferencesParts=/dev/null
        -o Dir::State="$apt_dir" -o Dir::State::status=/dev/null -o Dir::Cache="$apt_dir"
        -o Acquire::Languages=none -o APT::Sandbox::User=root)
    apt-get "${private_apt[@]}" update
    (cd "$apt_dir/archives" && apt-get "${private_apt[@]}" download "${latest_packages[@]}")
    # Unpacked beside the final folder and renamed once complete, so a broken run leaves nothing.
    root=$latest_wordpress.new
    rm -rf "$root" "$latest_wordpress"
    mkdir "$root"
    for deb in "$apt_dir"/archives/*.deb; do
        dpkg-deb -x "$deb" "$root"
    done
    # The bundle update-ca-certificates would make of the package's certificates.
    mkdir -p "$root/etc/ssl/certs"
    cat "$root"/usr/share/ca-certificates/mozilla/*.crt >"$root/etc/ssl/certs/ca-certificates.crt"
    # Absolute links point into the root instead, relatively, so the root may be renamed.
    find "$root" -type l -lname '/*' -print0 | while IFS= read -r -d '' link; do
        ln -sfnr "$root$(readlink "$link")" "$link"
    done
    # The test copies WordPress with its links followed: each must resolve inside the root.
    outside=$(find "$root/usr/share/wordpress" -type l -exec sh -c 'for link; do
        case $(realpath -e "$link") in "$0"/*) ;; *) echo "$link" ;; esac; done' "$(realpath "$root")" {} +)
    if [ -n "$outside" ]; then
        echo "Links of WordPress that no unpacked package resolves; add their packages to latest_packages:" >&2
        echo "$outside" >&2
        exit 1
    fi
    mv "$root" "$latest_wordpress"
fi

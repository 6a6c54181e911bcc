#!/usr/bin/env bash
# Installs the Debian packages Ostrel needs to build, test and run; does nothing when all are there.
set -euo pipefail

packages=(
    g++ cmake ninja-build pkg-config clang-format git libgumbo-dev
    qt6-base-dev qt6-webengine-dev libqt6webenginecore6-bin
    libgtest-dev libgmock-dev
    p7zip-full
    wordpress wordpress-theme-twentytwentythree mariadb-server apache2 libapache2-mod-php
    nginx php-fpm
    php-cli php-mysql php-xml php-zip php-mbstring php-gd curl unzip chromium
    fonts-dejavu-core fonts-liberation2
    dpkg-dev file lintian desktop-file-utils appstream
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"

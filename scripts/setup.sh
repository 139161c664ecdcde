#!/usr/bin/env bash
# Installs every Debian package Quillmark needs to build, test and benchmark. Safe to run
# again: when everything is installed it only checks, in about a second. Runs as root, or
# through sudo for an ordinary user, without prompting.
set -euo pipefail

packages=(
    build-essential cmake pkg-config clang-format
    qt6-base-dev qt6-qpa-plugins fonts-dejavu-core
    libsqlite3-dev libpugixml-dev libgmime-3.0-dev libcurl4-openssl-dev
    libtomlplusplus-dev libcli11-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    python3 python3-aiosmtpd openssl time
    xvfb x11-apps imagemagick
)

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
    [[ $status == installed ]] || missing+=("$package")
done
if ((${#missing[@]} == 0)); then
    exit 0
fi

echo "Installing: ${missing[*]}" >&2
as_root=()
if ((EUID != 0)); then
    as_root=(sudo --non-interactive)
fi
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null

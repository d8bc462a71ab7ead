#!/usr/bin/env bash
# Installs the build and test dependencies on Debian 12 (idempotent; needs root or sudo).
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev clang-format
    libgtest-dev libgmock-dev libbenchmark-dev
    libgs-dev ghostscript libqpdf-dev qpdf liblcms2-dev librsvg2-dev librsvg2-bin libcairo2-dev
    libfontconfig-dev libfreetype-dev libicu-dev libpng-dev nlohmann-json3-dev
    poppler-utils fonts-dejavu-core fonts-wqy-microhei fonts-urw-base35
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"

# Sourced by scripts/run and scripts/test: installs the Debian 12 packages the
# project needs when any is missing (apt-get, through sudo when not root).
VARNESK_PACKAGES="build-essential cmake ninja-build libgtest-dev libjpeg-dev qt6-base-dev \
qt6-multimedia-dev fonts-ipafont-gothic xvfb xauth imagemagick x11-apps pulseaudio tzdata locales python3-aiosmtpd openssl \
qt6-translations-l10n desktop-file-utils appstream dpkg-dev libsoapysdr-dev soapysdr-module-rtlsdr"

varnesk_install_deps() {
    missing=""
    for p in $VARNESK_PACKAGES; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
    done
    [ -z "$missing" ] && return 0
    echo "Installing:$missing"
    if [ "$(id -u)" -eq 0 ]; then SUDO=""; else SUDO="sudo"; fi
    $SUDO apt-get update -q
    $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $missing
}

# Release into build/. Two jobs: the machines have two cores.
varnesk_build() {
    cmake -S "$ROOT" -B "$ROOT/build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null &&
    cmake --build "$ROOT/build" -j2
}

# Everything, tests included, with AddressSanitizer and UndefinedBehaviorSanitizer into build-san/.
varnesk_build_sanitized() {
    cmake -S "$ROOT" -B "$ROOT/build-san" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNESK_SANITIZE=ON >/dev/null &&
    cmake --build "$ROOT/build-san" -j2
}

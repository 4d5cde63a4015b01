# Sourced by scripts/run and scripts/test: installs the Debian 12 packages the
# project needs when any is missing (apt-get, through sudo when not root).
# To build and run the program:
VARNESK_PACKAGES="build-essential cmake ninja-build libjpeg-dev qt6-base-dev qt6-multimedia-dev \
fonts-ipafont-gothic tzdata locales qt6-translations-l10n libsoapysdr-dev soapysdr-module-rtlsdr"
# To run the tests as well: GoogleTest, a virtual display and screenshots, a
# sound server for the audio tests, an SMTP server and certificates for the
# mail tests, the desktop file and AppStream checks, the package tools.
VARNESK_TEST_PACKAGES="libgtest-dev python3 xvfb xauth imagemagick x11-apps pulseaudio python3-aiosmtpd \
openssl desktop-file-utils appstream dpkg-dev"

# varnesk_install_deps PACKAGE...
varnesk_install_deps() {
    missing=""
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
    done
    [ -z "$missing" ] && return 0
    echo "Installing:$missing"
    if [ "$(id -u)" -eq 0 ]; then SUDO=""; else SUDO="sudo"; fi
    $SUDO apt-get update -q
    $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $missing
}

# Release into build/. Two jobs: the machines have two cores.
# varnesk_build [CMAKE_OPTION...]
varnesk_build() {
    cmake -S "$ROOT" -B "$ROOT/build" -G Ninja -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null &&
    cmake --build "$ROOT/build" -j2
}

# Everything, tests included, with AddressSanitizer and UndefinedBehaviorSanitizer into build-san/.
# varnesk_build_sanitized [CMAKE_OPTION...]
varnesk_build_sanitized() {
    cmake -S "$ROOT" -B "$ROOT/build-san" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNESK_SANITIZE=ON "$@" >/dev/null &&
    cmake --build "$ROOT/build-san" -j2
}

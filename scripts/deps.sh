# Installs the Debian packages the project needs, when some are missing. Sourced by the
# scripts in this folder.

# Enough to build and run the program and the simulated regulator.
# libmosquitto-dev: publishing to MQTT (--mqtt); optional, but built wherever it is found.
vellicor_program_packages=(build-essential cmake ninja-build pkg-config qt6-base-dev
    qt6-serialport-dev fonts-liberation libmosquitto-dev)
# The tests, the benchmarks, the sanitizer and fuzzing build, and the checks of the installed
# files and of the Debian package.
# The MQTT tests start their own Mosquitto broker on a free port (mosquitto_passwd comes with
# it) and make their TLS certificates with openssl. systemd-analyze checks the service unit,
# and man-db lets it find the manual page the unit names.
vellicor_test_packages=(libgtest-dev libbenchmark-dev xvfb xauth clang libclang-rt-14-dev
    desktop-file-utils appstream lintian dpkg-dev file mosquitto openssl systemd man-db)

# The side-by-side benchmark (bench/wakeups): a generic serial monitor fed the same stream, and
# xdotool to press its "Open". Installed only by that benchmark, which goes on without them.
vellicor_bench_packages=(cutecom xdotool)

# The Windows program (./scripts/build-windows, and its tests under Wine in --platforms):
# MinGW-w64, the host tools of the same Qt, GoogleTest's sources, Wine (64-bit alone), Xvfb and
# xwininfo for the window under Wine, Python for the COM port's driver, zip; nsis for the setup.
vellicor_windows_packages=(g++-mingw-w64-x86-64-posix qt6-base-dev-tools libgtest-dev wine wine64
    xvfb x11-utils python3 zip unzip xz-utils fonts-liberation nsis)

# The platform checks (./scripts/test --platforms): the arm64 cross build, its packages and
# qemu to run it, and what the Windows program needs. Never installed otherwise.
vellicor_platform_packages=(crossbuild-essential-arm64 qemu-user-static qt6-base-dev:arm64
    qt6-serialport-dev:arm64 libgtest-dev:arm64 libmosquitto-dev:arm64
    "${vellicor_windows_packages[@]}")

# vellicor_add_architecture <arch>: lets dpkg install packages of another architecture (the
# package lists for it come with the next vellicor_install_deps).
vellicor_add_architecture() {
    dpkg --print-foreign-architectures | grep -qx "$1" && return 0
    echo "Adding the $1 architecture to dpkg"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo dpkg --add-architecture "$1"
}

# vellicor_install_deps [more packages...]: the program's packages and the ones given.
vellicor_install_deps() {
    local packages=("${vellicor_program_packages[@]}" "$@")
    local missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -q </dev/null
    $sudo apt-get install -y -q "${missing[@]}" </dev/null
}

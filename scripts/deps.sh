# Installs the Debian packages the project needs, when some are missing. Sourced by the
# scripts in this folder.

# Enough to build and run the program and the simulated regulator.
# libmosquitto-dev: publishing to MQTT (--mqtt); optional, but built wherever it is found.
vellicor_program_packages=(build-essential cmake ninja-build pkg-config qt6-base-dev
    qt6-serialport-dev fonts-liberation libmosquitto-dev)
# The tests, the benchmarks, the sanitizer and fuzzing build, and the checks of the installed
# files and of the Debian package.
# The MQTT tests start their own Mosquitto broker on a free port (mosquitto_passwd comes with
# it) and make their TLS certificates with openssl.
vellicor_test_packages=(libgtest-dev libbenchmark-dev xvfb xauth clang libclang-rt-14-dev
    desktop-file-utils appstream lintian dpkg-dev file mosquitto openssl)

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

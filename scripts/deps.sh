# Installs the Debian packages the project needs, when some are missing. Sourced by the
# scripts in this folder.
vellicor_install_deps() {
    local packages=(build-essential cmake ninja-build pkg-config qt6-base-dev qt6-serialport-dev
        libgtest-dev libbenchmark-dev fonts-liberation xvfb xauth clang libclang-rt-14-dev "$@")
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

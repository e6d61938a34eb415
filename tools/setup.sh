# Shared by ./run and ./test: installs the Debian packages that are missing, then configures
# and builds one build tree. Sourced, not run.

QUERNEL_PACKAGES=(
    cmake ninja-build g++ pkg-config
    libgtest-dev libgmock-dev libssl-dev libbenchmark-dev
    qt6-base-dev libcups2-dev fonts-liberation2 fonts-dejavu-core poppler-utils
    cups cups-daemon cups-client
    dpkg-dev file desktop-file-utils
)

quernel_install_missing() {
    local missing=()
    local pkg
    for pkg in "${QUERNEL_PACKAGES[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$pkg")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get update
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
        apt-get install -y --no-install-recommends "${missing[@]}"
}

# quernel_build <build dir> <build type> [extra cmake arguments...]
quernel_build() {
    local dir=$1 type=$2
    shift 2
    cmake -S "$QUERNEL_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" "$@" >/dev/null
    cmake --build "$dir" -j2
}

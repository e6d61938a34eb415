# Shared by ./run and ./test: installs the Debian packages that are missing, then configures
# and builds one build tree. Sourced, not run.

QUERNEL_PACKAGES=(
    cmake ninja-build g++ pkg-config
    libgtest-dev libgmock-dev libssl-dev libbenchmark-dev
    qt6-base-dev qt6-translations-l10n libcups2-dev libzint-dev libfontconfig-dev libfreetype-dev fonts-liberation2 fonts-dejavu-core
    poppler-utils zbar-tools
    cups cups-daemon cups-client
    dpkg-dev file desktop-file-utils lintian strace
)

quernel_install_missing() {
    quernel_open_root_folder
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

# The tests start a private CUPS scheduler as the user lp and check file access as an ordinary
# user; both need to enter "/". A freshly unpacked system image can have "/" closed to everyone
# but root: open it as every installed system has it.
quernel_open_root_folder() {
    [ "$(stat -c %A / | cut -c10)" = "x" ] && return 0
    if [ "$(id -u)" -eq 0 ]; then
        echo "Opening / to other users (mode $(stat -c %a /) -> 755): the tests run programs as lp"
        chmod 755 /
    else
        echo "warning: / is closed to other users; the CUPS tests will fail" >&2
    fi
}

# quernel_build <build dir> <build type> [extra cmake arguments...]
quernel_build() {
    local dir=$1 type=$2
    shift 2
    cmake -S "$QUERNEL_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" "$@" >/dev/null
    cmake --build "$dir" -j2
}

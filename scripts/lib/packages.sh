# The Debian packages the build, the tests and the demonstration need, and
# their installation when missing (as root; otherwise a clear refusal).
packages=(cmake ninja-build g++ clang libclang-rt-dev pkg-config libc-bin binutils clang-format
          libgtest-dev libgmock-dev libbenchmark-dev libcrypt-dev
          libncurses-dev ncurses-bin spell expect
          libpam0g-dev libpam-wrapper pamtester
          slapd ldap-utils libldap-dev)

install_missing() {
    local missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return
    if [ "$(id -u)" -ne 0 ]; then
        echo "missing packages: ${missing[*]} (run as root to install them)" >&2
        exit 1
    fi
    apt-get update
    DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
}

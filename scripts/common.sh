# shellcheck shell=bash
# Shared by the scripts in scripts/: installs the build dependencies and builds a Release tree
# in build/. Source it; it defines functions only.

# Debian packages the build and the tests need.
CIFROVAR_PACKAGES=(cmake ninja-build g++ pkg-config libgmp-dev libmpfr-dev libcli11-dev libgtest-dev clang-format
    qt6-base-dev qt6-qpa-plugins libqt6svg6 qt6-translations-l10n fonts-dejavu-core xvfb xauth trayer
    openbox xdg-utils xdotool bash-completion)
# What scripts/fuzz needs on top: clang++ and its libFuzzer and sanitizer runtimes.
CIFROVAR_FUZZ_PACKAGES=(clang-14 libclang-rt-14-dev)
# What scripts/package and its check need on top: dpkg-shlibdeps, lintian, the AppStream and
# desktop entry validators and man.
CIFROVAR_PACKAGE_PACKAGES=(dpkg-dev lintian appstream desktop-file-utils man-db)

cifrovar_root() {
    cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd
}

# Installs the missing ones of the given packages with apt-get; apt-get runs only when
# something is missing.
install_missing() {
    local missing=() pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$pkg")
        fi
    done
    if ((${#missing[@]} == 0)); then
        return 0
    fi
    if ((EUID != 0)); then
        echo "Missing packages: ${missing[*]}" >&2
        echo "Install them as root: apt-get install ${missing[*]}" >&2
        return 1
    fi
    echo "Installing: ${missing[*]}" >&2
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q >&2
    apt-get install -y -q --no-install-recommends "${missing[@]}" >&2
}

ensure_packages() {
    install_missing "${CIFROVAR_PACKAGES[@]}"
}

ensure_fuzz_packages() {
    install_missing "${CIFROVAR_FUZZ_PACKAGES[@]}"
}

ensure_package_packages() {
    install_missing "${CIFROVAR_PACKAGE_PACKAGES[@]}"
}

# Configures (first time only with the generator) and builds the given targets, or everything.
# Build output goes to standard error so that standard output stays free for the program.
build_release() {
    local root
    root="$(cifrovar_root)"
    local generator=()
    if [[ ! -f "$root/build/CMakeCache.txt" ]]; then
        generator=(-G Ninja)
    fi
    cmake -S "$root" -B "$root/build" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release >&2
    if (($# > 0)); then
        cmake --build "$root/build" --target "$@" >&2
    else
        cmake --build "$root/build" >&2
    fi
}

# Runs scripts/install_check_session on the program installed under the prefix $1, in Xvfb, as
# an ordinary user with a fresh home below the folder $2, who cannot write into the installed
# tree: as root, the user "nobody". The folder $2 must be one that user may enter.
run_install_session() {
    local prefix="$1" work="$2" root
    root="$(cifrovar_root)"
    local home="$work/home"
    mkdir -p "$home"
    local as_user=()
    if ((EUID == 0)); then
        chmod 755 "$work"
        chown nobody "$home"
        as_user=(runuser -u nobody --)
    fi
    # -noreset: without it the server resets when its last client goes, and a program started
    # in that moment cannot connect (seen in two runs in a row here: the second start could not
    # connect to the display right after the first had ended).
    "${as_user[@]}" env -i PATH="$PATH" HOME="$home" XDG_CONFIG_HOME="$home/.config" \
        XDG_DATA_HOME="$home/.local/share" LANG=C.UTF-8 \
        timeout 180 xvfb-run -a -s "-screen 0 800x600x24 -noreset" \
        "$root/scripts/install_check_session" "$prefix"
}

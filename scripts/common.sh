# shellcheck shell=bash
# Shared by the scripts in scripts/: installs the build dependencies and builds a Release tree
# in build/. Source it; it defines functions only.

# Debian packages the build and the tests need.
CIFROVAR_PACKAGES=(cmake ninja-build g++ pkg-config libgmp-dev libmpfr-dev libcli11-dev libgtest-dev clang-format
    qt6-base-dev qt6-qpa-plugins libqt6svg6 qt6-translations-l10n fonts-dejavu-core xvfb xauth trayer
    openbox xdg-utils xdotool)
# What scripts/fuzz needs on top: clang++ and its libFuzzer and sanitizer runtimes.
CIFROVAR_FUZZ_PACKAGES=(clang-14 libclang-rt-14-dev)

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

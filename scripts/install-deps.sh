#!/usr/bin/env bash
# Installs what building and testing Fluxgrain needs on a Debian machine (run as root): the
# compilers, CMake, GoogleTest, and libpng and FFmpeg's libraries for the fluxgrain tool.
# --with-32bit adds the multilib compilers for the 32-bit build; --with-host adds Pd, Gem and
# Xvfb for the end-to-end test in a real host; --with-robustness adds clang with libFuzzer, the
# sanitizer runtimes and libomp (with its ThreadSanitizer tool), and valgrind; --with-windows adds
# the mingw-w64 cross compiler for the Windows DLLs and Wine (32-bit) to run them. Wine is
# optional: if it cannot be installed, a warning says so and the Wine check skips.
set -euo pipefail
packages=(cmake make g++ googletest libgtest-dev libbenchmark-dev python3 frei0r-plugins
          frei0r-plugins-dev pkg-config libpng-dev libavformat-dev libavcodec-dev libswscale-dev
          libavutil-dev)
optional=()
for arg in "$@"; do
  case "$arg" in
    --with-32bit) packages+=(gcc-multilib g++-multilib) ;;
    --with-host) packages+=(puredata-core gem gem-plugin-tiff xvfb xauth libgl1-mesa-dri) ;;
    --with-robustness) packages+=(clang-14 libclang-rt-14-dev libomp-14-dev valgrind) ;;
    # Only the posix-threads variant of the cross compiler: the metapackage adds both.
    --with-windows) packages+=(g++-mingw-w64-i686-posix binutils-mingw-w64-i686)
                    optional+=(wine wine32:i386) ;;
    *) echo "usage: $0 [--with-32bit] [--with-host] [--with-robustness] [--with-windows]" >&2
       exit 2 ;;
  esac
done
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
missing=() missing_optional=()
for p in "${packages[@]}"; do installed "$p" || missing+=("$p"); done
for p in "${optional[@]}"; do installed "$p" || missing_optional+=("$p"); done
if [ ${#missing[@]} -eq 0 ] && [ ${#missing_optional[@]} -eq 0 ]; then
  echo "install-deps: everything is installed"
  exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing ${missing[*]} ${missing_optional[*]}; run this script as root" \
       "to install them" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt_install() { apt-get install -y -q --no-install-recommends -o DPkg::Lock::Timeout=600 "$@"; }
# wine32 is an i386 package: the architecture has to be known before the package lists are read.
if [ ${#missing_optional[@]} -gt 0 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
apt-get update -q
[ ${#missing[@]} -eq 0 ] || apt_install "${missing[@]}"
if [ ${#missing_optional[@]} -gt 0 ] && ! apt_install "${missing_optional[@]}"; then
  echo "install-deps: WARNING: ${missing_optional[*]} could not be installed; the Windows DLLs" \
       "will be built and inspected but not run under Wine" >&2
fi

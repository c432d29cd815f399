#!/usr/bin/env bash
# Installs what building and testing Fluxgrain needs on a Debian machine (run as root): the
# compilers, CMake, GoogleTest, and libpng and FFmpeg's libraries for the fluxgrain tool.
# --with-32bit adds the multilib compilers for the 32-bit build; --with-host adds Pd, Gem and
# Xvfb for the end-to-end test in a real host; --with-robustness adds clang with libFuzzer, the
# sanitizer runtimes and libomp (with its ThreadSanitizer tool), and valgrind.
set -euo pipefail
packages=(cmake make g++ googletest libgtest-dev libbenchmark-dev python3 frei0r-plugins
          frei0r-plugins-dev pkg-config libpng-dev libavformat-dev libavcodec-dev libswscale-dev
          libavutil-dev)
for arg in "$@"; do
  case "$arg" in
    --with-32bit) packages+=(gcc-multilib g++-multilib) ;;
    --with-host) packages+=(puredata-core gem gem-plugin-tiff xvfb xauth libgl1-mesa-dri) ;;
    --with-robustness) packages+=(clang-14 libclang-rt-14-dev libomp-14-dev valgrind) ;;
    *) echo "usage: $0 [--with-32bit] [--with-host] [--with-robustness]" >&2; exit 2 ;;
  esac
done
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: everything is installed"
  exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing ${missing[*]}; run this script as root to install them" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends -o DPkg::Lock::Timeout=600 "${missing[@]}"

#!/bin/sh
# Installs the FreeFrame host used by the gem_host_smoke test: Pd, Gem with its TIFF writer, and a
# virtual X server with software OpenGL (run as root).
exec "$(dirname "$0")/install-deps.sh" --with-host

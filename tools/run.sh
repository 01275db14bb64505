#!/usr/bin/env bash
# Runs the desktop program on its default project when a display is present; otherwise
# renders the default project on the command line and says where the picture went.
set -euo pipefail
build=${1:-build}
if [ -x "$build/app/vantorel" ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
  exec "$build/app/vantorel"
fi
out="$build/default-project.bmp"
# The default project iterates its user formula "2,5*sqr(sin(X+AB))".
"$build/cli/vantorel-render" -o "$out"
echo "No display: rendered the default project to $out"

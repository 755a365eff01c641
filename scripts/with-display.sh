#!/usr/bin/env bash
# Runs a command with an X display for Wine's windows: the user's display when there is one
# (and USE_XVFB is not set), otherwise a private Xvfb that ends with the command.
if [ -n "${DISPLAY:-}" ] && [ -z "${USE_XVFB:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec "$@"
fi
exec xvfb-run -a -s "-screen 0 1024x768x24" "$@"

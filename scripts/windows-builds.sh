# Sourced by the scripts: which Windows builds this machine can run.
#
# The 32-bit build (build/) runs under 32-bit Wine, whose loader is a 32-bit Linux program; some
# machines' kernels start no 32-bit programs at all ("Exec format error"). The 64-bit build
# (build/win64/) runs under 64-bit Wine everywhere. SKIP_32BIT=1 takes the 32-bit runs out by
# hand, so that a machine with 32-bit programs can try the other path.

# Succeeds when the 32-bit build can run here; otherwise sets why32bitCannotRun and fails.
can_run_32bit() {
  why32bitCannotRun=""
  if [ "${SKIP_32BIT:-0}" = 1 ]; then
    why32bitCannotRun="SKIP_32BIT=1 is set"
    return 1
  fi
  # Wine's 32-bit loader is the tiny 32-bit program that tells.
  local loader=/usr/lib/wine/wine answer
  if ! answer=$("$loader" --version 2>&1); then
    why32bitCannotRun="this machine cannot run 32-bit programs ($loader: ${answer##*: })"
    return 1
  fi
  return 0
}

# Sets windows_build to the Windows build to run: $1 when given, else the 32-bit build (build)
# where it can run, else the 64-bit one (build/win64); windows_width tells which width that is.
pick_windows_build() {
  if [ -n "${1:-}" ]; then
    windows_build=$1
  elif can_run_32bit; then
    windows_build=build
  else
    windows_build=build/win64
  fi
  if grep -qs '^export WINEARCH=win64' "$windows_build/wine-run"; then windows_width=64-bit; else windows_width=32-bit; fi
}

# Sourced by the end-to-end scripts that need a display: start_xserver "SCREEN" starts a virtual
# X server on a display number the server itself finds free (no number two runs could both
# take), exports DISPLAY, and stops it when the script ends. Skips the script (exit 77) without Xvfb.
start_xserver() {
  command -v Xvfb > /dev/null || { echo "SKIP: Xvfb is not installed"; exit 77; }
  local fifo_dir
  fifo_dir=$(mktemp -d)
  Xvfb -displayfd 9 -screen 0 "${1:-1024x768x24}" -nolisten tcp 9> "$fifo_dir/display" 2> "$fifo_dir/log" &
  XSERVER_PID=$!
  trap 'kill $XSERVER_PID 2> /dev/null; wait $XSERVER_PID 2> /dev/null' EXIT
  for _ in $(seq 1 100); do [ -s "$fifo_dir/display" ] && break; sleep 0.1; done
  if [ ! -s "$fifo_dir/display" ]; then
    echo "FAIL: Xvfb did not start"; cat "$fifo_dir/log"; rm -rf "$fifo_dir"; exit 1
  fi
  DISPLAY=":$(head -n 1 "$fifo_dir/display")"
  export DISPLAY
  rm -rf "$fifo_dir"
}

# Sourced by the end-to-end scripts that need a display: start_xserver "SCREEN" starts a virtual
# X server on a display number the server itself finds free (no number that two runs side by
# side could both take), exports DISPLAY and XSERVER_PID; the server ends with the script. Skips
# the script (exit 77) without Xvfb.
start_xserver() {
  command -v Xvfb > /dev/null || { echo "SKIP: Xvfb is not installed"; exit 77; }
  local folder
  folder=$(mktemp -d)
  Xvfb -displayfd 9 -screen 0 "${1:-1024x768x24}" -nolisten tcp 9> "$folder/display" > /dev/null 2> "$folder/log" &
  XSERVER_PID=$!
  # Ends the server once the script has ended, whatever its own traps do.
  local script=$$ server=$XSERVER_PID
  ( while kill -0 $script 2> /dev/null; do sleep 1; done; kill $server 2> /dev/null ) > /dev/null 2>&1 &
  for _ in $(seq 1 100); do [ -s "$folder/display" ] && break; sleep 0.1; done
  if [ ! -s "$folder/display" ]; then
    echo "FAIL: Xvfb did not start"; cat "$folder/log"; rm -rf "$folder"; exit 1
  fi
  DISPLAY=":$(head -n 1 "$folder/display")"
  export DISPLAY XSERVER_PID
  rm -rf "$folder"
}

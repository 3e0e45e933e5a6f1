# Sourced by the end-to-end scripts that press keys on the show's window ($window).
# tap KEY presses KEY with a Shift press of its own in front: xdotool's events to a window carry
# no time, and SDL takes a release followed at once by a press of the same key as a held key's
# repeat (which the program ignores), so two presses of one key in a row could lose the second.
tap() { xdotool key --window "$window" Shift_L "$1"; }
window_size() { xdotool getwindowgeometry "$window" | awk '/Geometry/ {print $2}'; }
# resized KEY SIZE: taps KEY and waits (up to 30 s) until the window's size is SIZE (1280x1024).
resized() {
  tap "$1"
  for _ in $(seq 1 150); do
    # The X server shows the new size before SDL has taken the switch's own events; a key sent
    # at that moment was seen lost, so the next one waits a second.
    [ "$(window_size)" = "$2" ] && sleep 1 && return 0
    sleep 0.2
  done
  fail "the window is $(window_size) after $1, not $2"
}

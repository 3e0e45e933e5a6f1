# Sourced by the end-to-end scripts that read frames: sets $python to an interpreter with numpy
# and Pillow, or ends the script as skipped when there is none.
python=/usr/bin/python3
[ -x "$python" ] || python=python3
if ! "$python" -c 'import numpy, PIL' 2> /dev/null; then
  echo "SKIP: reading frames needs python3-numpy and python3-pil (scripts/setup.sh installs them)"
  exit 77
fi

# Sourced first by every end-to-end script: runs the script again under timeout(1), so that a hang
# ends it (and everything it started, its process group) as a failure that says so.
# VANTREL_E2E_TIMEOUT sets the seconds (default 840, inside ctest's 900).
if [ -z "${VANTREL_E2E_TIMED:-}" ]; then
  export VANTREL_E2E_TIMED=1
  timeout -k 10 "${VANTREL_E2E_TIMEOUT:-840}" bash "$0" "$@"
  status=$?
  [ $status = 124 ] && echo "FAIL: $(basename "$0") did not finish within ${VANTREL_E2E_TIMEOUT:-840} s"
  exit $status
fi

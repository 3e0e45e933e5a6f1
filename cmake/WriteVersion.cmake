# Writes the version header: the project's version, and the commit when the source is a git
# checkout. Run at every build (cmake -P); the header is written only when its text changes, so
# nothing is compiled again unless the commit or the version did.
# In: VERSION, SOURCE_DIR, OUTPUT.
set(commit "")
# A source tree without .git (a release tarball) says just the version, even when it was unpacked
# inside some other checkout.
if(EXISTS "${SOURCE_DIR}/.git")
  find_program(GIT_PROGRAM git)
  if(GIT_PROGRAM)
    # safe.directory: a build run by another user than the checkout's owner still reads it.
    execute_process(COMMAND "${GIT_PROGRAM}" -c safe.directory=* -C "${SOURCE_DIR}" rev-parse --short=7 HEAD
                    OUTPUT_VARIABLE commit OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET
                    RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      set(commit "")
    endif()
  endif()
endif()
set(text "// The build's version, written by cmake/WriteVersion.cmake at every build: do not edit.
#pragma once
#define VANTREL_VERSION \"${VERSION}\"
// The git commit built, or empty when the source was not a checkout.
#define VANTREL_COMMIT \"${commit}\"
")
set(old "")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL text)
  file(WRITE "${OUTPUT}" "${text}")
endif()

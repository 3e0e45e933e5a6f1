# The version line every program prints (--version, the summaries of --capture and --frames, the
# timedemo's header): project(VERSION) and the git commit, in generated/BuildVersion.h. The header
# is checked at every build, so a new commit shows without running cmake again; it is rewritten
# only when its text changes, so an unchanged commit rebuilds nothing.
set(VANTREL_VERSION_HEADER ${CMAKE_BINARY_DIR}/generated/BuildVersion.h)
set(VANTREL_WRITE_VERSION ${CMAKE_COMMAND} -DVERSION=${PROJECT_VERSION} -DSOURCE_DIR=${CMAKE_SOURCE_DIR}
    -DOUTPUT=${VANTREL_VERSION_HEADER} -P ${CMAKE_CURRENT_LIST_DIR}/WriteVersion.cmake)
# Once now, so that the header exists for whatever reads the sources before a build.
execute_process(COMMAND ${VANTREL_WRITE_VERSION})
add_custom_target(version_header COMMAND ${VANTREL_WRITE_VERSION} BYPRODUCTS ${VANTREL_VERSION_HEADER} VERBATIM)

# Adds the version line's source to a program that does not link vantrel_core (the tools).
function(vantrel_add_version target)
  target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/src/app/Version.cpp)
  target_include_directories(${target} PRIVATE ${CMAKE_BINARY_DIR}/generated)
  add_dependencies(${target} version_header)
endfunction()

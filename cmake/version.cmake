# The project's version for the programs: di_version.h in the build tree,
# through the interface library di_version. The commit is read once, when
# the build is configured, and only from a git checkout; a source tree
# without git history (an unpacked release) has none.
set(DI_VERSION_COMMIT "")
find_package(Git QUIET)
if(GIT_FOUND AND EXISTS ${PROJECT_SOURCE_DIR}/.git)
  execute_process(
    COMMAND ${GIT_EXECUTABLE} -C ${PROJECT_SOURCE_DIR} rev-parse --short=12 HEAD
    OUTPUT_VARIABLE DI_VERSION_COMMIT
    RESULT_VARIABLE DI_GIT_RESULT
    ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT DI_GIT_RESULT EQUAL 0)
    set(DI_VERSION_COMMIT "")
  endif()
endif()
set(DI_VERSION_DIR ${CMAKE_BINARY_DIR}/version)
configure_file(${CMAKE_CURRENT_LIST_DIR}/di_version.h.in ${DI_VERSION_DIR}/di_version.h @ONLY)
add_library(di_version INTERFACE)
target_include_directories(di_version INTERFACE ${DI_VERSION_DIR})
# The application manifest of the Windows programs carries the version too.
configure_file(${PROJECT_SOURCE_DIR}/resources/program.manifest.in ${DI_VERSION_DIR}/program.manifest @ONLY)
# What a program's .rc file that includes resources/program_info.rc
# depends on, for OBJECT_DEPENDS.
set(DI_PROGRAM_INFO_DEPENDS
  "${PROJECT_SOURCE_DIR}/resources/program_info.rc;${DI_VERSION_DIR}/program.manifest;${DI_VERSION_DIR}/di_version.h")

# di_program_resources(TARGET RC_FILE): the program's manifest and version
# (RC_FILE includes resources/program_info.rc) compiled into it.
function(di_program_resources target rc_file)
  enable_language(RC)
  set_source_files_properties(${rc_file} PROPERTIES OBJECT_DEPENDS "${DI_PROGRAM_INFO_DEPENDS}")
  target_sources(${target} PRIVATE ${rc_file})
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/resources ${DI_VERSION_DIR})
endfunction()

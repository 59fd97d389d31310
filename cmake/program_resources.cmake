# setup_program_resources(TARGET DESCRIPTION LEVEL): gives a shipped Windows program its manifest
# (execution level LEVEL: asInvoker or requireAdministrator; supported systems; DPI awareness, so a
# full-screen mode is never scaled) and its version information. Does nothing off Windows.
function(setup_program_resources target description level)
  if(NOT WIN32)
    return()
  endif()
  set(RES_NAME ${target})
  set(RES_DESCRIPTION "${description}")
  set(RES_LEVEL ${level})
  set(RES_PRODUCT "Game Setup")
  set(RES_VERSION4 "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0")
  set(RES_VERSION_COMMAS "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0")
  set(RES_MANIFEST ${CMAKE_CURRENT_BINARY_DIR}/${target}.manifest)
  configure_file(${PROJECT_SOURCE_DIR}/platform/win32/program.manifest.in ${RES_MANIFEST} @ONLY)
  configure_file(${PROJECT_SOURCE_DIR}/platform/win32/program.rc.in ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc @ONLY)
  target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
  set_property(SOURCE ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc APPEND PROPERTY OBJECT_DEPENDS ${RES_MANIFEST})
endfunction()

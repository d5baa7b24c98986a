# kelvory_windows_resources(TARGET TEXT [ICON FILE]) gives a Windows program its
# manifest, its version information (product, version, company, and TEXT, which
# Explorer and the Task Manager show for the file) and optionally its icon, from
# packaging/windows/program.rc.in.
function(kelvory_windows_resources target text)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "ICON" "")
  set(KELVORY_RC_NAME ${target})
  set(KELVORY_RC_DESCRIPTION ${text})
  set(KELVORY_RC_MANIFEST ${PROJECT_SOURCE_DIR}/packaging/windows/kelvory.manifest)
  set(KELVORY_RC_ICON "")
  set(depends ${KELVORY_RC_MANIFEST})
  if(arg_ICON)
    set(KELVORY_RC_ICON "// The icon Explorer, the Start menu and the task bar show for the program file.\n1 ICON \"${arg_ICON}\"")
    list(APPEND depends ${arg_ICON})
  endif()
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/program.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${depends}")
endfunction()

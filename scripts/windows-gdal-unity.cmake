# Read by GDAL's configure after its project() (windows-gdal.sh): GDAL's C++ code builds
# as a unity build, in batches, which its CMake supports; the C files (its copies of zlib,
# libjpeg and the like, several of which declare the same static names) still compile
# one by one.
include_guard(GLOBAL)

# Each file's CPL_CVSID would define the same static name in a batch: without it, no
# version strings of source files in the programs.
add_compile_definitions(DISABLE_CVSID)

function(kelvory_c_one_by_one dir)
  get_property(targets DIRECTORY "${dir}" PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(sources ${target} SOURCES)
    get_target_property(target_dir ${target} SOURCE_DIR)
    if(NOT sources)
      continue()
    endif()
    foreach(source IN LISTS sources)
      if(source MATCHES "\\.c$" AND NOT source MATCHES "^\\$<")
        get_filename_component(path "${source}" ABSOLUTE BASE_DIR "${target_dir}")
        set_property(SOURCE "${path}" TARGET_DIRECTORY ${target} PROPERTY SKIP_UNITY_BUILD_INCLUSION ON)
      endif()
    endforeach()
  endforeach()
  get_property(subdirs DIRECTORY "${dir}" PROPERTY SUBDIRECTORIES)
  foreach(subdir IN LISTS subdirs)
    kelvory_c_one_by_one("${subdir}")
  endforeach()
endfunction()

# When every target exists: at the end of the top folder.
cmake_language(DEFER DIRECTORY "${CMAKE_SOURCE_DIR}" CALL kelvory_c_one_by_one "${CMAKE_SOURCE_DIR}")

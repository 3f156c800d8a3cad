# Writes orvane-site.pc for this build.
#
# A static library brings its own link dependencies (libcurl, OpenSSL, simdjson, threads) in
# "Libs", so that a plain `pkg-config --libs orvane-site` links. They are named as libraries, not
# as "Requires": `pkg-config --static` would otherwise ask for libcurl's own private libraries,
# which a system with only the shared libcurl does not have. A shared library needs none of them
# at link time; they are listed in "Libs.private" for completeness.

# "-L<dir> -l<name>" for a library file, the -L left out for the linker's own directories.
function(orvane_site_pc_link_flags out)
  set(flags "")
  foreach(file IN LISTS ARGN)
    get_filename_component(dir "${file}" DIRECTORY)
    get_filename_component(name "${file}" NAME_WE)
    string(REGEX REPLACE "^lib" "" name "${name}")
    if(dir AND NOT dir IN_LIST CMAKE_CXX_IMPLICIT_LINK_DIRECTORIES AND NOT "-L${dir}" IN_LIST flags)
      list(APPEND flags "-L${dir}")
    endif()
    list(APPEND flags "-l${name}")
  endforeach()
  list(JOIN flags " " joined)
  set(${out} "${joined}" PARENT_SCOPE)
endfunction()

function(orvane_site_pc_imported_location out target)
  foreach(property IMPORTED_LOCATION IMPORTED_LOCATION_RELEASE IMPORTED_LOCATION_RELWITHDEBINFO
                   IMPORTED_LOCATION_NONE IMPORTED_LOCATION_DEBUG IMPORTED_LOCATION_NOCONFIG)
    get_target_property(location ${target} ${property})
    if(location)
      set(${out} "${location}" PARENT_SCOPE)
      return()
    endif()
  endforeach()
  message(FATAL_ERROR "orvane-site.pc: no library file known for ${target}")
endfunction()

# Sets ORVANE_SITE_PC_PREFIX, _LIBDIR and _INCLUDEDIR for a .pc file installed in
# <libdir>/pkgconfig: relative to the file itself, so that an install tree can be moved (or
# installed with `cmake --install --prefix`) and still point at its own headers and library.
macro(orvane_site_pc_locations)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
    set(ORVANE_SITE_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
  else()
    file(RELATIVE_PATH to_prefix "/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/")
    string(REGEX REPLACE "/$" "" to_prefix "${to_prefix}")
    set(ORVANE_SITE_PC_PREFIX "\${pcfiledir}/${to_prefix}")
  endif()
  if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
    set(ORVANE_SITE_PC_LIBDIR "${CMAKE_INSTALL_LIBDIR}")
  else()
    set(ORVANE_SITE_PC_LIBDIR "\${prefix}/${CMAKE_INSTALL_LIBDIR}")
  endif()
  if(IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
    set(ORVANE_SITE_PC_INCLUDEDIR "${CMAKE_INSTALL_INCLUDEDIR}")
  else()
    set(ORVANE_SITE_PC_INCLUDEDIR "\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}")
  endif()
endmacro()

function(orvane_site_write_pkg_config template output)
  orvane_site_pc_imported_location(simdjson_file simdjson::simdjson)
  get_target_property(curl_file CURL::libcurl IMPORTED_LOCATION)
  if(NOT curl_file)
    list(GET CURL_LIBRARIES 0 curl_file)
  endif()
  orvane_site_pc_link_flags(dependency_flags "${curl_file}" "${OPENSSL_SSL_LIBRARY}"
                            "${OPENSSL_CRYPTO_LIBRARY}" "${simdjson_file}")
  set(dependency_flags "${dependency_flags} -pthread")

  orvane_site_pc_locations()
  if(BUILD_SHARED_LIBS)
    set(ORVANE_SITE_PC_LIBS "")
    set(ORVANE_SITE_PC_LIBS_PRIVATE " ${dependency_flags}")
    set(ORVANE_SITE_PC_CFLAGS "")
  else()
    set(ORVANE_SITE_PC_LIBS " ${dependency_flags}")
    set(ORVANE_SITE_PC_LIBS_PRIVATE "")
    set(ORVANE_SITE_PC_CFLAGS " -DORVANE_SITE_STATIC_DEFINE")
  endif()
  configure_file(${template} ${output} @ONLY)
endfunction()

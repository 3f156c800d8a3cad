# Debian packages of a shared build (`cpack -G DEB` in the build directory):
#   liborvane-site0     the shared library (install component "runtime")
#   liborvane-site-dev  headers, link name, CMake package, pkg-config file, testing kit
#   orvane-site-tools   the command-line tool and the stand-in (orvane-site-standin)
#   python3-orvane-site the Python module orvane_site (install component "python"), where built
# Dependencies on system libraries come from dpkg-shlibdeps; the version is the project's.
if(NOT BUILD_SHARED_LIBS)
  return()
endif()

set(CPACK_PACKAGE_NAME orvane-site)
set(CPACK_PACKAGE_VENDOR "orvane-site developers")
set(CPACK_PACKAGE_CONTACT "orvane-site developers <orvane-site@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_COMPONENTS_ALL runtime development tools)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The tools link the library of the runtime package, which dpkg-shlibdeps finds there.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
    ${CMAKE_BINARY_DIR}/_CPack_Packages/Linux/DEB/${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-Linux/runtime/usr/${CMAKE_INSTALL_LIBDIR})

set(CPACK_COMPONENT_RUNTIME_DESCRIPTION "${PROJECT_DESCRIPTION} (shared library)")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME liborvane-site${PROJECT_VERSION_MAJOR})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)

set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION
    "${PROJECT_DESCRIPTION} (headers, CMake package, pkg-config file, testing kit)")
set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS runtime)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME liborvane-site-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
# The public headers include nlohmann/json; the testing kit needs GoogleMock and the stand-in's
# HTTPS server (cpp-httplib, OpenSSL) when an application uses it.
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "nlohmann-json3-dev (>= 3.10)")
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_RECOMMENDS
    "pkg-config, libgmock-dev, libgtest-dev, libcpp-httplib-dev, libssl-dev")

set(CPACK_COMPONENT_TOOLS_DESCRIPTION
    "${PROJECT_DESCRIPTION} (command-line tool orvane-site and local stand-in orvane-site-standin)")
set(CPACK_COMPONENT_TOOLS_DEPENDS runtime)
set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME orvane-site-tools)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION utils)
# The stand-in builds its data set from the zone files and country names.
set(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS "tzdata, iso-codes")

if(TARGET orvane-site-python)
  list(APPEND CPACK_COMPONENTS_ALL python)
  set(CPACK_COMPONENT_PYTHON_DESCRIPTION
      "${PROJECT_DESCRIPTION} (Python 3 module orvane_site, with its type stubs)")
  set(CPACK_COMPONENT_PYTHON_DEPENDS runtime)
  set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-orvane-site)
  set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
  # The extension is built for this interpreter's ABI (its file name says which).
  math(EXPR next_minor "${Python_VERSION_MINOR} + 1")
  set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS
      "python3 (>= ${Python_VERSION_MAJOR}.${Python_VERSION_MINOR}), python3 (<< ${Python_VERSION_MAJOR}.${next_minor})")
  set(CPACK_DEBIAN_PYTHON_PACKAGE_SUGGESTS "python3-geopy")
endif()

include(CPack)

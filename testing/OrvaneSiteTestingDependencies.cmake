# What OrvaneSite::Testing needs from the system: GoogleMock, and the stand-in's HTTPS server
# (cpp-httplib with OpenSSL). Read by OrvaneSiteConfig.cmake; sets
# _orvane_site_dependencies_found to FALSE when one is missing.
find_package(GTest QUIET)
find_package(OpenSSL QUIET)
find_package(PkgConfig QUIET)
if(PkgConfig_FOUND AND NOT TARGET PkgConfig::HTTPLIB)
  pkg_check_modules(HTTPLIB QUIET IMPORTED_TARGET cpp-httplib)
endif()
if(NOT TARGET GTest::gmock OR NOT OpenSSL_FOUND OR NOT TARGET PkgConfig::HTTPLIB)
  set(_orvane_site_dependencies_found FALSE)
endif()

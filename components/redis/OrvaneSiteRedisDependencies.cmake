# Read by the package's config file before OrvaneSiteRedisTargets.cmake: OrvaneSite::Redis needs
# hiredis, found through pkg-config. Without it the component is reported as not found.
find_package(PkgConfig QUIET)
if(NOT TARGET PkgConfig::HIREDIS AND PkgConfig_FOUND)
  pkg_check_modules(HIREDIS QUIET IMPORTED_TARGET hiredis)
endif()
if(NOT TARGET PkgConfig::HIREDIS)
  set(_orvane_site_dependencies_found FALSE)
endif()

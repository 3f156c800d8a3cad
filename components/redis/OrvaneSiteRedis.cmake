# OrvaneSite::Redis, the Redis rate limiter, installed only where it was built.
include(CMakeFindDependencyMacro)
find_dependency(PkgConfig)
if(NOT TARGET PkgConfig::HIREDIS)
  pkg_check_modules(HIREDIS REQUIRED IMPORTED_TARGET hiredis)
endif()
include("${CMAKE_CURRENT_LIST_DIR}/OrvaneSiteRedisTargets.cmake")
set(OrvaneSite_Redis_FOUND TRUE)

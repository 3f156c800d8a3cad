# Builds consumers against an installed orvane-site, the way applications do:
#   cmake -DPREFIX=<install prefix> -DWORK_DIR=<scratch> -DSOURCE_DIR=tests/package
#         [-DBUILD_DIR=<build to install into PREFIX first>] [-DEXAMPLES_DIR=examples]
#         [-DREQUIRE_TESTING_KIT=ON] -P tests/package/check.cmake
# With CMake (find_package, the library and the testing kit) and with pkg-config (plain --libs
# and --static), each consumer built and run; then the examples compile. Works for static and
# shared installs alike; PREFIX may be /usr for the Debian packages.
if(NOT PREFIX)
  set(PREFIX ${WORK_DIR}/prefix)
endif()
if(NOT DEFINED REQUIRE_TESTING_KIT)
  set(REQUIRE_TESTING_KIT OFF)
endif()
file(REMOVE_RECURSE ${WORK_DIR}/consumer ${WORK_DIR}/examples ${WORK_DIR}/pkg-config)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}")
  endif()
endfunction()

if(BUILD_DIR)
  file(REMOVE_RECURSE ${PREFIX})
  run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX})
endif()

file(GLOB pc_files ${PREFIX}/lib*/pkgconfig/orvane-site.pc ${PREFIX}/lib/*/pkgconfig/orvane-site.pc)
file(GLOB config_files ${PREFIX}/lib*/cmake/OrvaneSite/OrvaneSiteConfig.cmake
     ${PREFIX}/lib/*/cmake/OrvaneSite/OrvaneSiteConfig.cmake)
if(NOT EXISTS ${PREFIX}/include/orvane/site.h OR NOT pc_files OR NOT config_files)
  message(FATAL_ERROR "${PREFIX} lacks the headers, orvane-site.pc or OrvaneSiteConfig.cmake")
endif()
list(GET pc_files 0 pc_file)
get_filename_component(pc_dir ${pc_file} DIRECTORY)

# find_package(OrvaneSite CONFIG REQUIRED) from another project.
run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/consumer -B ${WORK_DIR}/consumer -G Ninja
    -DCMAKE_PREFIX_PATH=${PREFIX} -DCMAKE_BUILD_RPATH=${pc_dir}/..
    -DCONSUMER_REQUIRE_TESTING_KIT=${REQUIRE_TESTING_KIT})
run(${CMAKE_COMMAND} --build ${WORK_DIR}/consumer)
run(${WORK_DIR}/consumer/consumer)
set(cassette ${SOURCE_DIR}/../../examples/cassettes/timezone.jsonl)
if(EXISTS ${WORK_DIR}/consumer/consumer-kit-test)
  run(${CMAKE_COMMAND} -E env ORVANE_SITE_CASSETTE=${cassette} ${WORK_DIR}/consumer/consumer-kit-test)
endif()

# pkg-config alone: the flags it prints compile and link the same program, with plain --libs
# (static and shared builds alike) and with --static.
set(ENV{PKG_CONFIG_PATH} ${pc_dir})
find_program(CXX_COMPILER NAMES c++ g++ REQUIRED)
file(MAKE_DIRECTORY ${WORK_DIR}/pkg-config)
foreach(mode plain static)
  set(static_flag "")
  if(mode STREQUAL "static")
    set(static_flag --static)
  endif()
  execute_process(COMMAND pkg-config ${static_flag} --cflags --libs orvane-site
                  RESULT_VARIABLE rc OUTPUT_VARIABLE flags ERROR_VARIABLE err
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "pkg-config ${static_flag} failed: ${err}")
  endif()
  separate_arguments(flags UNIX_COMMAND "${flags}")
  execute_process(COMMAND pkg-config --variable=libdir orvane-site OUTPUT_VARIABLE libdir
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(program ${WORK_DIR}/pkg-config/consumer-${mode})
  run(${CXX_COMPILER} -std=c++17 ${SOURCE_DIR}/consumer/main.cpp -o ${program} ${flags}
      -Wl,-rpath,${libdir})
  run(${program})
endforeach()

# Where the Redis component was built: OrvaneSite::Redis and orvane-site-redis.pc work too, the
# .pc from wherever the install tree lies.
file(GLOB redis_targets ${PREFIX}/lib*/cmake/OrvaneSite/OrvaneSiteRedisTargets.cmake
     ${PREFIX}/lib/*/cmake/OrvaneSite/OrvaneSiteRedisTargets.cmake)
if(redis_targets)
  run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/redis-consumer -B ${WORK_DIR}/redis-consumer -G Ninja
      -DCMAKE_PREFIX_PATH=${PREFIX})
  run(${CMAKE_COMMAND} --build ${WORK_DIR}/redis-consumer)
  run(${WORK_DIR}/redis-consumer/redis-consumer)
  execute_process(COMMAND pkg-config --cflags --libs orvane-site-redis
                  RESULT_VARIABLE rc OUTPUT_VARIABLE flags ERROR_VARIABLE err
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "pkg-config orvane-site-redis failed: ${err}")
  endif()
  separate_arguments(flags UNIX_COMMAND "${flags}")
  run(${CXX_COMPILER} -std=c++17 ${SOURCE_DIR}/redis-consumer/main.cpp
      -o ${WORK_DIR}/pkg-config/redis-consumer ${flags} -Wl,-rpath,${libdir})
  run(${WORK_DIR}/pkg-config/redis-consumer)
endif()

# The application test of the testing kit, built from orvane-site-testing.pc alone (where the
# examples are built too: once per run of every test).
if(EXAMPLES_DIR AND EXISTS ${WORK_DIR}/consumer/consumer-kit-test)
  execute_process(COMMAND pkg-config --cflags --libs orvane-site-testing gtest_main
                  RESULT_VARIABLE rc OUTPUT_VARIABLE flags ERROR_VARIABLE err
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "pkg-config orvane-site-testing failed: ${err}")
  endif()
  separate_arguments(flags UNIX_COMMAND "${flags}")
  run(${CXX_COMPILER} -std=c++17 ${SOURCE_DIR}/consumer/kit_test.cpp
      -o ${WORK_DIR}/pkg-config/kit-test ${flags} -Wl,-rpath,${libdir})
  run(${CMAKE_COMMAND} -E env ORVANE_SITE_CASSETTE=${cassette} ${WORK_DIR}/pkg-config/kit-test)
endif()

# The examples compile against the installed package.
if(EXAMPLES_DIR AND EXISTS ${EXAMPLES_DIR}/CMakeLists.txt)
  run(${CMAKE_COMMAND} -S ${EXAMPLES_DIR} -B ${WORK_DIR}/examples -G Ninja
      -DCMAKE_PREFIX_PATH=${PREFIX})
  run(${CMAKE_COMMAND} --build ${WORK_DIR}/examples)
endif()
message(STATUS "consumers built and run against ${PREFIX}")

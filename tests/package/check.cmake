# Installs the build at BUILD_DIR into a scratch prefix and builds consumers against it.
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}")
  endif()
endfunction()

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
foreach(f include/orvane/site.h lib/pkgconfig/orvane-site.pc lib/cmake/OrvaneSite/OrvaneSiteConfig.cmake)
  if(NOT EXISTS ${prefix}/${f})
    message(FATAL_ERROR "the install tree lacks ${f}")
  endif()
endforeach()

# find_package(OrvaneSite CONFIG REQUIRED) from another project.
run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/consumer -B ${WORK_DIR}/consumer -G Ninja
    -DCMAKE_PREFIX_PATH=${prefix})
run(${CMAKE_COMMAND} --build ${WORK_DIR}/consumer)
run(${WORK_DIR}/consumer/consumer)

# pkg-config finds the same library.
set(ENV{PKG_CONFIG_PATH} ${prefix}/lib/pkgconfig)
run(pkg-config --exists --print-errors orvane-site)

# Where the Redis component was built: OrvaneSite::Redis and orvane-site-redis.pc work too.
if(EXISTS ${prefix}/lib/cmake/OrvaneSite/OrvaneSiteRedisTargets.cmake)
  run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/redis-consumer -B ${WORK_DIR}/redis-consumer -G Ninja
      -DCMAKE_PREFIX_PATH=${prefix})
  run(${CMAKE_COMMAND} --build ${WORK_DIR}/redis-consumer)
  run(${WORK_DIR}/redis-consumer/redis-consumer)
  run(pkg-config --exists --print-errors orvane-site-redis)
endif()

# The examples compile against the installed package.
if(EXISTS ${EXAMPLES_DIR}/CMakeLists.txt)
  run(${CMAKE_COMMAND} -S ${EXAMPLES_DIR} -B ${WORK_DIR}/examples -G Ninja
      -DCMAKE_PREFIX_PATH=${prefix})
  run(${CMAKE_COMMAND} --build ${WORK_DIR}/examples)
endif()

# ordavex_add_test(<name>
#     SOURCES <files...> [LIBS <targets...>]
#     [MAIN gtest|core|gui]   gtest_main (default), or a main that creates a
#                             QCoreApplication / QApplication first
#     [GUI]                   needs a real X server with GL: runs under its own Xvfb
#     [SLOW]                  large data; label "slow" so it is quick to skip
#     [TESTDATA]              needs the generated media fixtures
#     [TIMEOUT <seconds>]
#     [SPLIT <gtest filters...>])  one ctest test per filter (<name>_1, ...), so
#                             a long suite's parts run in parallel
# Each test gets its own HOME and XDG folders in the build tree (settings never
# touch the developer's), UTC as time zone, and ORDAVEX_TESTDATA / FFMPEG /
# FFPROBE in its environment. Without GUI it runs on the offscreen platform.
function(ordavex_add_test name)
  cmake_parse_arguments(T "GUI;SLOW;TESTDATA" "MAIN;TIMEOUT" "SOURCES;LIBS;SPLIT" ${ARGN})
  if(NOT ORDAVEX_TESTS)
    return()  # the fuzz and bench builds carry only their own targets
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} ordavex_testsupport GTest::gtest)
  if(NOT T_MAIN OR T_MAIN STREQUAL "gtest")
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  elseif(T_MAIN STREQUAL "core")
    target_link_libraries(${name} PRIVATE ordavex_testmain_core)
  elseif(T_MAIN STREQUAL "gui")
    target_link_libraries(${name} PRIVATE ordavex_testmain_gui)
  else()
    message(FATAL_ERROR "ordavex_add_test: unknown MAIN ${T_MAIN}")
  endif()

  set(command $<TARGET_FILE:${name}>)
  set(labels unit)
  if(T_GUI)
    set(command bash ${PROJECT_SOURCE_DIR}/scripts/with-xvfb.sh ${command})
    set(labels gui)
  endif()
  if(T_SLOW)
    list(APPEND labels slow)
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  if(NOT T_SPLIT)
    ordavex_register_test(${name} "${command}" "${labels}" ${T_TIMEOUT} "${T_GUI}" "${T_TESTDATA}" "")
    return()
  endif()
  set(part 0)
  foreach(filter IN LISTS T_SPLIT)
    math(EXPR part "${part} + 1")
    ordavex_register_test(${name}_${part} "${command}" "${labels}" ${T_TIMEOUT} "${T_GUI}"
                          "${T_TESTDATA}" "GTEST_FILTER=${filter}")
  endforeach()
endfunction()

# One ctest test of ordavex_add_test, with its own HOME and XDG folders.
function(ordavex_register_test name command labels timeout gui testdata extra_env)
  add_test(NAME ${name} COMMAND ${command})

  set(home ${CMAKE_BINARY_DIR}/test-home/${name})
  file(MAKE_DIRECTORY ${home}/config ${home}/data ${home}/cache ${home}/runtime)
  set(env
    HOME=${home}
    XDG_CONFIG_HOME=${home}/config
    XDG_DATA_HOME=${home}/data
    XDG_CACHE_HOME=${home}/cache
    XDG_RUNTIME_DIR=${home}/runtime
    TZ=UTC
    LC_ALL=C.UTF-8
    ORDAVEX_TESTDATA=${CMAKE_BINARY_DIR}/testdata
    ORDAVEX_SOURCE_DIR=${PROJECT_SOURCE_DIR}
    FFMPEG=${FFMPEG_EXECUTABLE}
    FFPROBE=${FFPROBE_EXECUTABLE}
    QTWEBENGINE_DISABLE_SANDBOX=1
    QT_LOGGING_RULES=qt.qpa.*=false)
  if(NOT gui)
    list(APPEND env QT_QPA_PLATFORM=offscreen)
  endif()
  # Qt's libraries are not instrumented: their own leaks and lock orderings
  # are suppressed once here for every test.
  if(ORDAVEX_SANITIZE)
    list(APPEND env LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/sanitizers/lsan.supp)
    if(gui)
      # Mesa's GL driver is unloaded before exit, so its leaks have no
      # symbols to suppress; window tests still catch memory errors.
      list(APPEND env ASAN_OPTIONS=detect_leaks=0)
    endif()
  endif()
  if(ORDAVEX_TSAN)
    list(APPEND env TSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/sanitizers/tsan.supp)
  endif()
  if(extra_env)
    list(APPEND env ${extra_env})
  endif()
  set_tests_properties(${name} PROPERTIES LABELS "${labels}" ENVIRONMENT "${env}"
                       TIMEOUT ${timeout})
  if(testdata)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED ordavex_testdata)
  endif()
endfunction()

# ordavex_add_fuzzer(<name> SOURCES <files...> LIBS <targets...> [CORPUS <dirs...>]
#                    [SEEDS <command...>])
# Built only in the fuzz preset; each target also runs as a 30 s test there.
# SEEDS makes seed inputs from the generated fixtures at test time: the
# command gets the seed folder as its last argument, runs as a set-up test
# before the fuzzer, and the folder joins the corpus.
# Inputs up to 1 MiB, so that index structures can grow large enough to show
# quadratic work (caught by the per-input timeout); an allocation above
# 512 MiB counts as a crash.
function(ordavex_add_fuzzer name)
  cmake_parse_arguments(F "" "" "SOURCES;LIBS;CORPUS;SEEDS" ${ARGN})
  if(NOT ORDAVEX_FUZZ)
    return()
  endif()
  add_executable(${name} ${F_SOURCES})
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set(corpus ${CMAKE_BINARY_DIR}/fuzz-corpus/${name})
  file(MAKE_DIRECTORY ${corpus})
  set(args -max_total_time=30 -rss_limit_mb=2048 -malloc_limit_mb=512 -timeout=10
      -max_len=1048576 ${corpus} ${F_CORPUS})
  set(fixtures ordavex_testdata)
  set(env "ORDAVEX_TESTDATA=${CMAKE_BINARY_DIR}/testdata")
  if(F_SEEDS)
    set(seeds ${CMAKE_BINARY_DIR}/fuzz-seeds/${name})
    add_test(NAME ${name}_seeds COMMAND ${F_SEEDS} ${seeds})
    set_tests_properties(${name}_seeds PROPERTIES FIXTURES_SETUP ${name}_seeds
                         FIXTURES_REQUIRED ordavex_testdata LABELS fuzz TIMEOUT 300
                         ENVIRONMENT "${env};FFMPEG=${FFMPEG_EXECUTABLE}")
    list(APPEND args ${seeds})
    list(APPEND fixtures ${name}_seeds)
  endif()
  add_test(NAME ${name} COMMAND ${name} ${args})
  set_tests_properties(${name} PROPERTIES LABELS fuzz TIMEOUT 300
                       FIXTURES_REQUIRED "${fixtures}" ENVIRONMENT "${env}")
endfunction()

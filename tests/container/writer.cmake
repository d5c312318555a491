# Tests of the AVI clip writer and the backward reader.
ordavex_add_test(container_writer_test
  SOURCES AviWriterTest.cpp
  LIBS ordavex_container container_test_support
  TESTDATA)

ordavex_add_test(container_backward_test
  SOURCES AviBackwardTest.cpp
  LIBS ordavex_container container_test_support
  TESTDATA)

# Writes and reads back a clip over 1 GiB (made in a temporary folder).
ordavex_add_test(container_writer_large_test
  SOURCES AviWriterLargeTest.cpp
  LIBS ordavex_container container_test_support
  SLOW TIMEOUT 900)

# Writer and backward reading speed (bench builds only; figures in
# docs/benchmarks/container-writer.md).
ordavex_add_benchmark(container_backward_benchmark
  SOURCES AviBackwardBenchmark.cpp
  LIBS container_test_support)

# The FLV reader against ffprobe and ffmpeg.
ordavex_add_test(container_flv_test
  SOURCES FlvReadTest.cpp FlvBytesTest.cpp FlvDecodeTest.cpp
  LIBS container_test_support ordavex_codec ordavex_codec_testsupport)
if(TARGET container_flv_test)
  target_include_directories(container_flv_test PRIVATE ${PROJECT_SOURCE_DIR}/tests/codec
                             ${PROJECT_SOURCE_DIR}/tests/telemetry)
endif()

# The FLV reader's fuzz target, seeded with small files made at test time.
set(FLV_FUZZ_SEEDS ${CMAKE_BINARY_DIR}/fuzz-seeds/flv)
if(ORDAVEX_FUZZ)
  add_test(NAME container_flv_fuzz_seeds
           COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/FlvFuzzSeeds.sh ${FLV_FUZZ_SEEDS})
  set_tests_properties(container_flv_fuzz_seeds PROPERTIES FIXTURES_SETUP container_flv_fuzz_seeds
                       LABELS fuzz)
endif()
ordavex_add_fuzzer(container_flv_read_fuzzer
  SOURCES FlvReadFuzzer.cpp
  LIBS container_test_support
  CORPUS ${FLV_FUZZ_SEEDS})
if(ORDAVEX_FUZZ)
  set_tests_properties(container_flv_read_fuzzer PROPERTIES
                       FIXTURES_REQUIRED "ordavex_testdata;container_flv_fuzz_seeds")
endif()

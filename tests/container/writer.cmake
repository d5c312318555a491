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
  SOURCES FlvReadTest.cpp FlvBytesTest.cpp
  LIBS container_test_support)

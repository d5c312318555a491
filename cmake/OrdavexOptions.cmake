# Warnings and sanitizer flags shared by every target.
add_compile_options(-Wall -Wextra)

if(ORDAVEX_SANITIZE AND ORDAVEX_TSAN)
  message(FATAL_ERROR "ORDAVEX_SANITIZE and ORDAVEX_TSAN cannot be combined")
endif()

if(ORDAVEX_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

if(ORDAVEX_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

if(ORDAVEX_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "ORDAVEX_FUZZ needs clang (use the 'fuzz' preset)")
  endif()
  # Every library is instrumented for coverage; the fuzz targets add the driver.
  # UBSan findings abort, so the fuzzer records them as crashes.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

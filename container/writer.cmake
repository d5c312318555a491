# The AVI clip writer and the backward reader.
target_sources(ordavex_container PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/avienc.cpp
  ${CMAKE_CURRENT_LIST_DIR}/avibackward.cpp
)

# The FLV reader.
target_sources(ordavex_container PRIVATE ${CMAKE_CURRENT_LIST_DIR}/flvdec.cpp)

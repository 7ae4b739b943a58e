# Settings every Quarn target shares.
add_library(quarn_common INTERFACE)
target_compile_features(quarn_common INTERFACE cxx_std_20)
set(CMAKE_CXX_EXTENSIONS OFF)
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  target_compile_options(quarn_common INTERFACE -Wall -Wextra -pedantic)
elseif(MSVC)
  target_compile_options(quarn_common INTERFACE /W4 /utf-8)
endif()
# Qt code only; harmless elsewhere.
target_compile_definitions(quarn_common INTERFACE QT_NO_CAST_FROM_ASCII QT_NO_CONTEXTLESS_CONNECT)

set(QUARN_SANITIZE "" CACHE STRING "Sanitizers to build with: address,undefined or thread")
if(QUARN_SANITIZE)
  add_compile_options(-fsanitize=${QUARN_SANITIZE} -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${QUARN_SANITIZE})
endif()

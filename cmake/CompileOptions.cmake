# One interface target carries the warnings and sanitizer flags of every target.
add_library(arvelo_options INTERFACE)
target_compile_options(arvelo_options INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast
  -Wcast-align -Woverloaded-virtual -Wformat=2 -Wimplicit-fallthrough)
target_compile_definitions(arvelo_options INTERFACE
  QT_NO_CAST_FROM_ASCII QT_NO_KEYWORDS)

if(ARVELO_SANITIZE STREQUAL "address")
  set(_san -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
elseif(ARVELO_SANITIZE STREQUAL "thread")
  set(_san -fsanitize=thread -fno-omit-frame-pointer)
elseif(NOT ARVELO_SANITIZE STREQUAL "")
  message(FATAL_ERROR "ARVELO_SANITIZE must be empty, 'address' or 'thread'")
endif()
if(ARVELO_FUZZ)
  list(APPEND _san -fsanitize=fuzzer-no-link)
endif()
if(_san)
  target_compile_options(arvelo_options INTERFACE ${_san})
  target_link_options(arvelo_options INTERFACE ${_san})
endif()

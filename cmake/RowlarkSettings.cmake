# One interface target carries the compile settings every Rowlark target shares.
set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
set(CMAKE_EXPORT_COMPILE_COMMANDS ON)

if(NOT CMAKE_BUILD_TYPE AND NOT CMAKE_CONFIGURATION_TYPES)
  set(CMAKE_BUILD_TYPE Release CACHE STRING "Build type" FORCE)
endif()

add_library(rowlark_settings INTERFACE)
target_compile_features(rowlark_settings INTERFACE cxx_std_20)
target_compile_options(rowlark_settings INTERFACE -Wall -Wextra $<$<BOOL:${ROWLARK_WERROR}>:-Werror>)
# Debug builds check the standard library's preconditions (indices, iterators, empty containers).
target_compile_definitions(rowlark_settings INTERFACE $<$<CONFIG:Debug>:_GLIBCXX_ASSERTIONS>)

if(ROWLARK_SANITIZE)
  target_compile_options(rowlark_settings INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(rowlark_settings INTERFACE -fsanitize=address,undefined)
endif()

# ThreadSanitizer cannot be combined with AddressSanitizer, so it is a build of its own.
option(ROWLARK_TSAN "Build with ThreadSanitizer" OFF)
if(ROWLARK_TSAN)
  if(ROWLARK_SANITIZE)
    message(FATAL_ERROR "ROWLARK_TSAN and ROWLARK_SANITIZE cannot be used together")
  endif()
  target_compile_options(rowlark_settings INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(rowlark_settings INTERFACE -fsanitize=thread)
endif()

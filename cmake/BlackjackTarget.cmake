# Shared build settings, carried by interface targets that every module links
# privately, so nothing is set globally.
include(CheckCXXCompilerFlag)
include(CheckLinkerFlag)
include(CheckPIESupported)
check_pie_supported()

set(_gnu_like FALSE)
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  set(_gnu_like TRUE)
endif()

# Warnings, for every target of the project, the preloaded test library
# included.
add_library(blackjack_warnings INTERFACE)
if(_gnu_like)
  target_compile_options(blackjack_warnings INTERFACE -Wall -Wextra -Wpedantic -Wshadow)
  if(BLACKJACK_WERROR)
    target_compile_options(blackjack_warnings INTERFACE -Werror)
  endif()
endif()

# A 32-bit time_t runs out in January 2038. Where the C library offers a
# 64-bit one instead (32-bit glibc), every target takes it, the preloaded
# test library included.
add_library(blackjack_system INTERFACE)
include(CheckCXXSourceCompiles)
set(_wide_time_t "#include <ctime>\nstatic_assert(sizeof(std::time_t) >= 8, \"\");\nint main() { return 0; }")
check_cxx_source_compiles("${_wide_time_t}" BLACKJACK_TIME_T_WIDE)
set(BLACKJACK_TIME_BITS_64 FALSE)
if(NOT BLACKJACK_TIME_T_WIDE)
  set(CMAKE_REQUIRED_DEFINITIONS -D_TIME_BITS=64 -D_FILE_OFFSET_BITS=64)
  check_cxx_source_compiles("${_wide_time_t}" BLACKJACK_TIME_T_WIDE_ON_REQUEST)
  unset(CMAKE_REQUIRED_DEFINITIONS)
  if(BLACKJACK_TIME_T_WIDE_ON_REQUEST)
    set(BLACKJACK_TIME_BITS_64 TRUE)
    target_compile_definitions(blackjack_system INTERFACE _TIME_BITS=64 _FILE_OFFSET_BITS=64)
  endif()
endif()

add_library(blackjack_options INTERFACE)
target_compile_features(blackjack_options INTERFACE cxx_std_17)
target_link_libraries(blackjack_options INTERFACE blackjack_warnings blackjack_system)

# Build paths stay out of the objects, so that two checkouts build the same
# bytes.
# The check asks with a plain path: it would split one with a blank.
check_cxx_compiler_flag(-ffile-prefix-map=/a=. BLACKJACK_HAS_FILE_PREFIX_MAP)
if(BLACKJACK_HAS_FILE_PREFIX_MAP)
  foreach(_dir IN ITEMS "${PROJECT_SOURCE_DIR}" "${PROJECT_BINARY_DIR}")
    target_compile_options(blackjack_options INTERFACE "-ffile-prefix-map=${_dir}=.")
  endforeach()
endif()

set(BLACKJACK_HARDENED FALSE)  # the package test checks the hardening when TRUE
if((BLACKJACK_SANITIZE OR BLACKJACK_FUZZ) AND _gnu_like)
  set(_sanitize -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_compile_options(blackjack_options INTERFACE ${_sanitize})
  target_link_options(blackjack_options INTERFACE ${_sanitize})
elseif(BLACKJACK_HARDEN AND _gnu_like AND NOT WIN32 AND NOT EMSCRIPTEN)
  set(BLACKJACK_HARDENED TRUE)
  # What Debian's dpkg-buildflags give a package, for ELF programs (a
  # Windows linker makes its programs relocatable and their data not
  # executable by itself; emscripten's C library has no stack protector,
  # and WebAssembly no ELF to harden). Fortification needs the optimizer; the
  # sanitizers bring checks of their own instead.
  target_compile_options(blackjack_options INTERFACE -fstack-protector-strong
    "$<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>")
  check_linker_flag(CXX "-Wl,-z,relro,-z,now" BLACKJACK_HAS_RELRO_NOW)
  if(BLACKJACK_HAS_RELRO_NOW)
    target_link_options(blackjack_options INTERFACE "LINKER:-z,relro,-z,now")
  endif()
endif()

# Fuzzing needs every module built with the fuzzer's coverage hooks.
if(BLACKJACK_FUZZ)
  target_compile_options(blackjack_options INTERFACE -fsanitize=fuzzer-no-link)
endif()

# Applies the project's settings to one target.
function(blackjack_target target)
  set_target_properties(${target} PROPERTIES CXX_EXTENSIONS OFF POSITION_INDEPENDENT_CODE ON)
  target_link_libraries(${target} PRIVATE blackjack_options)
endfunction()

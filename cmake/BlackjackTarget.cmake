# Shared build settings, carried by an interface target that every module links
# privately, so nothing is set globally.
add_library(blackjack_options INTERFACE)
target_compile_features(blackjack_options INTERFACE cxx_std_17)
target_compile_options(blackjack_options INTERFACE -Wall -Wextra -Wpedantic -Wshadow)

if(BLACKJACK_WERROR)
  target_compile_options(blackjack_options INTERFACE -Werror)
endif()

if(BLACKJACK_SANITIZE OR BLACKJACK_FUZZ)
  set(_sanitize -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_compile_options(blackjack_options INTERFACE ${_sanitize})
  target_link_options(blackjack_options INTERFACE ${_sanitize})
endif()

# Fuzzing needs every module built with the fuzzer's coverage hooks.
if(BLACKJACK_FUZZ)
  target_compile_options(blackjack_options INTERFACE -fsanitize=fuzzer-no-link)
endif()

# Applies the project's settings to one target.
function(blackjack_target target)
  set_target_properties(${target} PROPERTIES CXX_EXTENSIONS OFF)
  target_link_libraries(${target} PRIVATE blackjack_options)
endfunction()

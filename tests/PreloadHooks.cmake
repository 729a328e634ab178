# Fixes time(), speeds up the clock and counts writes inside the game under
# test only.
add_library(blackjack_preload_hooks SHARED ${CMAKE_CURRENT_LIST_DIR}/support/preload_hooks.cpp)
target_link_libraries(blackjack_preload_hooks PRIVATE ${CMAKE_DL_LIBS} blackjack_warnings blackjack_system)
target_compile_features(blackjack_preload_hooks PRIVATE cxx_std_17)
set_target_properties(blackjack_preload_hooks PROPERTIES CXX_EXTENSIONS OFF OUTPUT_NAME preload_hooks)

# Decides whether the test suite is built. The game itself needs neither
# GoogleTest nor tmux, so without them a play build carries on; asking for
# the tests (ON) without them stops here.
set(BLACKJACK_BUILD_TESTS OFF)
if(WIN32 OR EMSCRIPTEN)
  # The tests drive the game from Linux (through Wine for a Windows build,
  # through a browser for the page).
  if(BLACKJACK_TESTS STREQUAL "ON")
    message(FATAL_ERROR "The tests build on Linux only; they play a Windows build through Wine and the page "
      "through a browser (see doc/windows.md and doc/web.md).")
  endif()
elseif(NOT BLACKJACK_TESTS STREQUAL "OFF")
  find_package(GTest QUIET)
  find_program(BLACKJACK_TMUX tmux)
  set(_missing "")
  if(NOT GTest_FOUND)
    list(APPEND _missing "GoogleTest (Debian package libgtest-dev)")
  endif()
  if(NOT BLACKJACK_TMUX)
    list(APPEND _missing "tmux")
  endif()
  if(_missing STREQUAL "")
    set(BLACKJACK_BUILD_TESTS ON)
  elseif(BLACKJACK_TESTS STREQUAL "ON")
    list(JOIN _missing " and " _missing)
    message(FATAL_ERROR "The tests need ${_missing}, which this machine lacks.")
  else()
    list(JOIN _missing " and " _missing)
    message(STATUS "Tests off: ${_missing} not found. The game builds all the same.")
  endif()
endif()

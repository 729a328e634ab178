# Installing puts the game among the games and its manual page in section 6;
# cpack -G DEB makes a Debian package of the same. On Windows, cpack -G ZIP
# makes a zip of the game, a read-me for its player and the licence. The page
# is one file, build-web/blackjack.html, installed as it is.
set(CPACK_PACKAGE_NAME blackjack)
set(CPACK_PACKAGE_VENDOR "The blackjack developers")
set(CPACK_PACKAGE_CONTACT "The blackjack developers <blackjack@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_STRIP_FILES ON)

if(EMSCRIPTEN)
  # The page is the whole release: one file to open or to hand on.
  install(FILES ${PROJECT_BINARY_DIR}/blackjack.html DESTINATION .)
  return()
endif()

if(WIN32)
  install(TARGETS blackjack RUNTIME DESTINATION .)
  # The checkout's README is for whoever builds; the zip's player gets a
  # read-me of their own, with the line ends Notepad expects.
  configure_file(doc/windows-readme.txt README.txt @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/README.txt LICENSE DESTINATION .)
  include(CPack)
  return()
endif()

set(BLACKJACK_GAMES_DIR games CACHE PATH "Where the game is installed, under the prefix unless absolute")

install(TARGETS blackjack RUNTIME DESTINATION ${BLACKJACK_GAMES_DIR})

set(CPACK_PACKAGE_DESCRIPTION "A single-player blackjack game for a text terminal. You start with $500
and play hand after hand against the computer, which deals. Cards are drawn
as boxes of text; an ace always counts 1, the dealer draws on 17 or less,
and a tie carries the bet into the next hand.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The shared libraries the binary needs, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/PackageFolders.cmake)
include(CPack)

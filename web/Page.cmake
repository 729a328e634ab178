# The game as one page, build-web/blackjack.html: the game compiled to
# WebAssembly inside its script, the terminal emulator's script and style
# inlined, nothing fetched when it runs. Included by game/ under emscripten.

# The terminal emulator, pinned by web/package-lock.json, installed into the
# build tree whenever the lock changes.
set(_web ${PROJECT_SOURCE_DIR}/web)
set(_npm_dir ${PROJECT_BINARY_DIR}/npm)
find_program(BLACKJACK_NPM npm)
find_program(BLACKJACK_NODE node)
if(NOT BLACKJACK_NPM OR NOT BLACKJACK_NODE)
  message(FATAL_ERROR "The page needs node and npm (Debian packages nodejs and npm) for its terminal emulator.")
endif()
file(SHA256 ${_web}/package-lock.json _lock_hash)
if(NOT EXISTS ${_npm_dir}/installed OR NOT _lock_hash STREQUAL BLACKJACK_NPM_INSTALLED)
  file(COPY ${_web}/package.json ${_web}/package-lock.json DESTINATION ${_npm_dir})
  execute_process(COMMAND ${BLACKJACK_NPM} ci --omit=dev --no-audit --no-fund WORKING_DIRECTORY ${_npm_dir}
    RESULT_VARIABLE _npm_result)
  if(NOT _npm_result EQUAL 0)
    message(FATAL_ERROR "npm ci could not install the terminal emulator (see above)")
  endif()
  file(TOUCH ${_npm_dir}/installed)
  set(BLACKJACK_NPM_INSTALLED ${_lock_hash} CACHE INTERNAL "The lock the page's modules were installed from")
endif()
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_web}/package-lock.json)

# Waits yield to the browser through Asyncify, keeping main as it is; its
# stack holds the calls from a stream read down to the key wait. The end
# of main runs the exit handlers, which write out the last screen. No file
# is ever opened: the standard streams go to the page's terminal through the
# console, so emscripten's file system stays out.
set_target_properties(blackjack PROPERTIES SUFFIX .js)
target_link_options(blackjack PRIVATE -sASYNCIFY -sASYNCIFY_STACK_SIZE=65536 -sSINGLE_FILE=1 -sEXIT_RUNTIME=1
  -sENVIRONMENT=web -sFILESYSTEM=0)
# Emscripten's optimizer finds its modules where Debian keeps them, also
# with a node that is not Debian's.
if(EXISTS /usr/share/nodejs AND NOT DEFINED ENV{NODE_PATH})
  set_property(TARGET blackjack PROPERTY RULE_LAUNCH_LINK "${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs")
endif()

set(_xterm ${_npm_dir}/node_modules/@xterm)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/blackjack.html
  COMMAND ${BLACKJACK_NODE} ${_web}/assemble.mjs ${_web}/page.html ${_web}/page.js
    $<TARGET_FILE:blackjack> ${_xterm}/xterm ${_xterm}/addon-fit ${PROJECT_BINARY_DIR}/blackjack.html
  DEPENDS blackjack ${_web}/assemble.mjs ${_web}/page.html ${_web}/page.js ${_npm_dir}/installed
  COMMENT "Putting the page together: blackjack.html"
  VERBATIM)
add_custom_target(blackjack_page ALL DEPENDS ${PROJECT_BINARY_DIR}/blackjack.html)

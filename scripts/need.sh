# Sourced by ./play, ./test, scripts/web.sh and .ci/run: installs, in one
# apt-get install, the Debian packages a command needs and the machine
# lacks, then checks that they brought it.
#   need PACKAGE:CHECK ...   CHECK is a command name, a file path, commands
#                            any one of which will do (make|ninja), or a
#                            command and its least version (cmake>=3.20)
#   need_build_tools [PACKAGE:CHECK ...]  what building needs, and more
#   need_test_tools [PACKAGE:CHECK ...]   what building and testing need, and more
#   need_web_tools, need_web_test_tools   the same for the page and its tests
# Where it cannot install (no apt-get; not root and no sudo; apt fails; a
# CMake too old), it names all that is missing in one line and exits
# non-zero: the Debian packages, or without apt-get the commands and files.
# Its own variables all begin with need_, as the scripts that source it
# keep theirs.

# Where apt keeps its package lists; empty until the first apt-get update.
NEED_APT_LISTS=${NEED_APT_LISTS:-/var/lib/apt/lists}

# need_has CHECK: whether the machine has it. A version too old is left in
# need_old.
need_has() {
  need_old=
  case "$1" in
    /*) [ -e "$1" ] ;;
    *'>='*)
      command -v "${1%%>=*}" >/dev/null 2>&1 || return 1
      # The first word that starts with a digit: "cmake version 3.25.1".
      need_version=
      for need_word in $("${1%%>=*}" --version 2>/dev/null); do
        case "$need_word" in [0-9]*) need_version=$need_word && break ;; esac
      done
      need_at_least "$need_version" "${1#*>=}" || { need_old=${need_version:-unknown}; return 1; }
      ;;
    *'|'*) need_has "${1%%|*}" || need_has "${1#*|}" ;;
    *) command -v "$1" >/dev/null 2>&1 ;;
  esac
}

# need_at_least VERSION LEAST: compares the major and minor numbers.
need_at_least() {
  need_major=${1%%.*} need_minor=${1#*.}
  need_minor=${need_minor%%.*}
  case "$need_major.$need_minor" in
    *[!0-9.]* | .* | *.) return 1 ;;
  esac
  [ "$need_major" -gt "${2%%.*}" ] || { [ "$need_major" -eq "${2%%.*}" ] && [ "$need_minor" -ge "${2#*.}" ]; }
}

# Sets need_packages to what apt-get should install, need_names to the same
# for people (a version too old said, and need_stuck set, since apt-get would
# bring the same one), and need_tools to the commands and files.
need_missing() {
  need_packages='' need_names='' need_tools='' need_stuck=''
  for need_pair in "$@"; do
    need_check=${need_pair#*:}
    need_has "$need_check" && continue
    need_tool=$need_check
    case "$need_tool" in *'>='*) need_tool="${need_tool%%>=*} ${need_tool#*>=} or later" ;; esac
    while :; do
      case "$need_tool" in *'|'*) need_tool="${need_tool%%|*} or ${need_tool#*|}" ;; *) break ;; esac
    done
    if [ -n "$need_old" ]; then
      need_names="$need_names ${need_pair%%:*} (${need_check#*>=} or later; this one is $need_old)"
      need_tool="$need_tool (this one is $need_old)"
      need_stuck=1
    else
      need_packages="$need_packages ${need_pair%%:*}"
      need_names="$need_names ${need_pair%%:*}"
    fi
    need_tools="$need_tools, $need_tool"
  done
}

need_give_up() {
  if command -v apt-get >/dev/null 2>&1; then
    echo "Please install these Debian packages (or your system's own):$need_names$1" >&2
  else
    echo "Please install what gives these commands and files: ${need_tools#, }" >&2
  fi
  exit 1
}

need_lists_present() {
  for need_list in "$NEED_APT_LISTS"/*Packages*; do
    [ -e "$need_list" ] && return 0
  done
  return 1
}

# Installs need_packages with apt-get, as root or through sudo; the lists
# are updated only when missing, or when an install fails without.
need_install() {
  command -v apt-get >/dev/null 2>&1 || need_give_up ""
  if [ "$(id -u)" -eq 0 ]; then
    need_sudo=""
  elif command -v sudo >/dev/null 2>&1; then
    need_sudo="sudo"
  else
    need_give_up ""
  fi
  echo "Installing:$need_packages"
  if ! need_lists_present; then
    $need_sudo apt-get update -qq || need_give_up ""
  fi
  # shellcheck disable=SC2086 # one word a package
  if ! $need_sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $need_packages </dev/null; then
    $need_sudo apt-get update -qq || need_give_up ""
    $need_sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $need_packages </dev/null || need_give_up ""
  fi
}

need() {
  need_missing "$@"
  [ -n "$need_names" ] || return 0
  [ -z "$need_stuck" ] || need_give_up ""
  need_install
  need_missing "$@"
  [ -z "$need_names" ] || need_give_up " (installed, yet what they bring is still missing)"
}

# A C++17 compiler, gzip for the manual page, CMake, and a build tool: with
# ninja alone, CMake is told to use it.
need_build_tools() {
  need g++:c++ gzip:gzip 'cmake:cmake>=3.20' 'make:make|ninja' "$@"
  if ! command -v make >/dev/null 2>&1; then
    CMAKE_GENERATOR=${CMAKE_GENERATOR:-Ninja}
    export CMAKE_GENERATOR
  fi
}

# What ./test adds: GoogleTest, tmux and bash for the terminal tests, and
# for the package and manual page tests dpkg-dev, groff, and file (which
# CPack's dependency search runs).
need_test_tools() {
  need_build_tools libgtest-dev:/usr/include/gtest/gtest.h tmux:tmux bash:bash dpkg-dev:dpkg-shlibdeps \
    groff-base:groff file:file "$@"
}

# The page (doc/web.md): emscripten's compiler, and node and npm for the
# terminal emulator the page carries.
need_web_tools() {
  need_build_tools emscripten:em++ nodejs:node npm:npm "$@"
}

# What the page's tests add to ./test's: the page's tools, and chromium,
# which they drive headless.
need_web_test_tools() {
  need_test_tools emscripten:em++ nodejs:node npm:npm chromium:chromium "$@"
}

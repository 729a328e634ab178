# Sourced by ./play, ./test and .ci/run: installs the Debian packages a
# command needs and the machine lacks, then checks that they brought it.
#   need PACKAGE:CHECK ...   CHECK is a command name, or a file path
#   need_build_tools         CMake 3.20 or later, and make or ninja
# Where it cannot install (no apt-get; not root and no sudo; apt fails), it
# names the packages in one line and exits non-zero.

# Where apt keeps its package lists; empty until the first apt-get update.
NEED_APT_LISTS=${NEED_APT_LISTS:-/var/lib/apt/lists}

# Prints the packages whose CHECK is not there.
need_missing() {
  for pair in "$@"; do
    package=${pair%%:*}
    check=${pair#*:}
    case "$check" in
      /*) [ -e "$check" ] || printf ' %s' "$package" ;;
      *) command -v "$check" >/dev/null 2>&1 || printf ' %s' "$package" ;;
    esac
  done
}

need_give_up() {
  echo "Please install these Debian packages (or your system's own):$1" >&2
  exit 1
}

need_lists_present() {
  for list in "$NEED_APT_LISTS"/*Packages*; do
    [ -e "$list" ] && return 0
  done
  return 1
}

# need_install " package ...": with apt-get, as root or through sudo; the
# lists are updated only when missing, or when an install fails without.
need_install() {
  command -v apt-get >/dev/null 2>&1 || need_give_up "$1"
  if [ "$(id -u)" -eq 0 ]; then
    sudo=""
  elif command -v sudo >/dev/null 2>&1; then
    sudo="sudo"
  else
    need_give_up "$1"
  fi
  echo "Installing:$1"
  if ! need_lists_present; then
    $sudo apt-get update -qq || need_give_up "$1"
  fi
  # shellcheck disable=SC2086 # one word a package
  if ! $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $1 </dev/null; then
    $sudo apt-get update -qq || need_give_up "$1"
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $1 </dev/null || need_give_up "$1"
  fi
}

need() {
  missing=$(need_missing "$@")
  [ -n "$missing" ] || return 0
  need_install "$missing"
  missing=$(need_missing "$@")
  [ -z "$missing" ] || need_give_up "$missing (installed, yet what they bring is still missing)"
}

need_build_tools() {
  need cmake:cmake
  version=$(cmake --version 2>/dev/null | { read -r _ _ v _ && echo "$v"; })
  major=${version%%.*}
  minor=${version#*.}
  minor=${minor%%.*}
  case "$major.$minor" in
    *[!0-9.]* | .* | *.) major=0 minor=0 ;;
  esac
  if [ "$major" -lt 3 ] || { [ "$major" -eq 3 ] && [ "$minor" -lt 20 ]; }; then
    echo "CMake 3.20 or later is needed; this one says '${version:-nothing}'." >&2
    need_give_up " cmake (from a newer release, or from the backports)"
  fi
  command -v make >/dev/null 2>&1 || command -v ninja >/dev/null 2>&1 || need make:make
}

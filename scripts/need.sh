# Sourced by ./play and ./test: installs the Debian packages a command needs
# and the machine lacks.
#   need PACKAGE:CHECK ...   CHECK is a command name, or a file path
need() {
  missing=""
  for pair in "$@"; do
    package=${pair%%:*}
    check=${pair#*:}
    case "$check" in
      /*) [ -e "$check" ] || missing="$missing $package" ;;
      *) command -v "$check" >/dev/null 2>&1 || missing="$missing $package" ;;
    esac
  done
  [ -n "$missing" ] || return 0
  if ! command -v apt-get >/dev/null 2>&1; then
    echo "Please install:$missing (the Debian names; your system's may differ)" >&2
    exit 1
  fi
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  echo "Installing:$missing"
  $sudo apt-get update -qq && $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $missing </dev/null
}

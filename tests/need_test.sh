#!/bin/sh
# The set-up script against stand-ins for apt-get, sudo, id and cmake on a
# PATH of their own: it installs only what is missing, updates the package
# lists only when needed, uses sudo only when there is one, checks what it
# installed, and otherwise names the packages in one line and fails. The
# machine's own packages are never touched.
#   need_test.sh
set -u
need_script=$(cd "$(dirname "$0")/.." && pwd)/scripts/need.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# A stand-in: a script in the stand-ins' folder.
stand_in() {
  printf '#!/bin/sh\n%s\n' "$2" >"$work/bin/$1"
  /bin/chmod +x "$work/bin/$1"
}

# Starts a scenario: a fresh folder of stand-ins and package lists. What
# apt-get and sudo are asked is logged.
scenario() {
  name=$1
  /bin/rm -rf "$work/bin" "$work/lists" "$work/log" "$work/updated"
  /bin/mkdir -p "$work/bin" "$work/lists"
  : >"$work/log"
  : >"$work/lists/deb_dists_stable_main_binary-amd64_Packages"
  stand_in env 'while [ $# -gt 0 ]; do case "$1" in *=*) export "$1"; shift ;; *) break ;; esac; done; exec "$@"'
  stand_in id 'echo "${FAKE_UID:-0}"'
  # apt-get: update marks the lists fresh; install brings each package's
  # command of the same name, unless told to fail or to bring nothing.
  /bin/cat >"$work/bin/apt-get" <<STAND_IN
#!/bin/sh
echo "apt-get \$*" >>"$work/log"
case "\$1" in
  update) [ -z "\${UPDATE_FAILS:-}" ] || exit 100; : >"$work/updated" ;;
  install)
    [ -z "\${INSTALL_FAILS:-}" ] || exit 100
    [ -z "\${NEEDS_UPDATE:-}" ] || [ -e "$work/updated" ] || exit 100
    [ -z "\${BRINGS_NOTHING:-}" ] || exit 0
    for package in "\$@"; do
      case "\$package" in
        install | -*) ;;
        *) printf '#!/bin/sh\\necho "%s version 3.25.1"\\n' "\$package" >"$work/bin/\$package"
           /bin/chmod +x "$work/bin/\$package" ;;
      esac
    done ;;
esac
STAND_IN
  /bin/chmod +x "$work/bin/apt-get"
}

sudo_too() {
  stand_in sudo "echo \"sudo \$*\" >>'$work/log'; exec \"\$@\""
}

# Runs need.sh's function with the arguments, on the stand-ins alone.
run() {
  (PATH="$work/bin" NEED_APT_LISTS="$work/lists" && . "$need_script" && "$@") >"$work/out" 2>"$work/err"
  status=$?
}

expect() {
  if [ "$2" != "$3" ]; then
    echo "$name: $1: expected [$3], got [$2]"
    echo "  stdout: $(/bin/cat "$work/out")"
    echo "  stderr: $(/bin/cat "$work/err")"
    echo "  log: $(/bin/cat "$work/log")"
    failures=$((failures + 1))
  fi
}

log() { /bin/cat "$work/log"; }

scenario "all there"
stand_in foo 'exit 0'
run need foo:foo
expect status "$status" 0
expect log "$(log)" ""
expect stdout "$(/bin/cat "$work/out")" ""

scenario "root installs; lists present, so no update"
run need foo:foo bar:bar
expect status "$status" 0
expect log "$(log)" "apt-get install -y -qq foo bar"
[ -x "$work/bin/foo" ] && [ -x "$work/bin/bar" ] || expect "commands" missing present

scenario "an install that fails without fresh lists is tried again after an update"
NEEDS_UPDATE=1 run need foo:foo
expect status "$status" 0
expect log "$(log)" "apt-get install -y -qq foo
apt-get update -qq
apt-get install -y -qq foo"

scenario "no lists at all: update first"
/bin/rm -f "$work/lists/"*
run need foo:foo
expect status "$status" 0
expect log "$(log)" "apt-get update -qq
apt-get install -y -qq foo"

scenario "not root and no sudo: one line naming the packages"
FAKE_UID=1000 run need foo:foo bar:/no/such/file
expect status "$status" 1
expect log "$(log)" ""
expect stderr "$(/bin/cat "$work/err")" "Please install these Debian packages (or your system's own): foo bar"

scenario "nothing installed, no root, no sudo: every package in one line"
FAKE_UID=1000 run need_build_tools
expect status "$status" 1
expect stderr "$(/bin/cat "$work/err")" "Please install these Debian packages (or your system's own): g++ gzip cmake make"

scenario "the page's tools, with the build's, in one line"
FAKE_UID=1000 run need_web_tools
expect stderr "$(/bin/cat "$work/err")" \
  "Please install these Debian packages (or your system's own): g++ gzip cmake make emscripten nodejs npm"

scenario "not root, with sudo"
sudo_too
FAKE_UID=1000 run need foo:foo
expect status "$status" 0
expect log "$(log)" "sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq foo
apt-get install -y -qq foo"

scenario "apt fails"
INSTALL_FAILS=1 UPDATE_FAILS=1 run need foo:foo
expect status "$status" 1
expect "last line" "$(/usr/bin/tail -n 1 "$work/err")" "Please install these Debian packages (or your system's own): foo"

scenario "installed, yet the command is still missing"
BRINGS_NOTHING=1 run need foo:foo
expect status "$status" 1
expect stderr "$(/bin/cat "$work/err")" \
  "Please install these Debian packages (or your system's own): foo (installed, yet what they bring is still missing)"

scenario "no apt-get: the commands and files, a CMake too old among them"
/bin/rm "$work/bin/apt-get"
stand_in cmake 'echo "cmake version 3.16.3"'
run need_build_tools libfoo-dev:/no/such/foo.h
expect status "$status" 1
expect stderr "$(/bin/cat "$work/err")" \
  "Please install what gives these commands and files: c++, gzip, cmake 3.20 or later (this one is 3.16.3), make or ninja, /no/such/foo.h"

scenario "a CMake too old: named with the rest, nothing installed"
stand_in cmake 'echo "cmake version 3.16.3"'
stand_in make 'exit 0'
run need_build_tools
expect status "$status" 1
expect log "$(log)" ""
expect stderr "$(/bin/cat "$work/err")" \
  "Please install these Debian packages (or your system's own): g++ gzip cmake (3.20 or later; this one is 3.16.3)"

scenario "a new enough CMake and no build tool: make comes"
stand_in c++ 'exit 0'
stand_in gzip 'exit 0'
stand_in cmake 'echo "cmake version 3.20.0"'
run need_build_tools
expect status "$status" 0
expect log "$(log)" "apt-get install -y -qq make"

scenario "no CMake: it comes, and ninja does as a build tool"
stand_in c++ 'exit 0'
stand_in gzip 'exit 0'
stand_in ninja 'exit 0'
run need_build_tools
expect status "$status" 0
expect log "$(log)" "apt-get install -y -qq cmake"

if [ $failures -ne 0 ]; then
  echo "$failures failed"
  exit 1
fi
echo "every scenario as expected"

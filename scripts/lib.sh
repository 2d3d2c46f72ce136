# Shared by the quick-start scripts: installs what the build needs and builds a preset.
# Sourced, not run.

DEVIR_PACKAGES=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev
  unixodbc-dev unixodbc tdsodbc freetds-bin
  libsqlite3-dev
  clang-format
  locales
)

# Installs the Debian packages that are missing (needs root on a fresh machine).
devir_ensure_packages() {
  local missing=()
  for p in "${DEVIR_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  # The conformance tests run tedious on node; a node installed otherwise than by apt will do.
  if ! command -v node >/dev/null || ! command -v npm >/dev/null; then missing+=(nodejs npm); fi
  if [ "${#missing[@]}" -gt 0 ]; then
    echo "Installing: ${missing[*]}" >&2
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
  fi
  # Register FreeTDS with unixODBC so that "Driver=FreeTDS" works; the client also finds the
  # driver library by its path when this was not done.
  if command -v odbcinst >/dev/null && ! odbcinst -q -d -n FreeTDS >/dev/null 2>&1 \
     && [ -f /usr/share/tdsodbc/odbcinst.ini ] && [ "$(id -u)" -eq 0 ]; then
    odbcinst -i -d -f /usr/share/tdsodbc/odbcinst.ini >/dev/null 2>&1 || true
  fi
}

# Configures and builds one CMake preset ("dev" or "release").
devir_build() {
  local preset="$1"; shift
  cmake --preset "$preset" >&2
  cmake --build --preset "$preset" "$@" >&2
}

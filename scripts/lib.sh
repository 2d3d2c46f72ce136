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
# The fuzz targets (scripts/fuzz.sh): clang and its libFuzzer runtime.
DEVIR_FUZZ_PACKAGES=(clang libclang-rt-14-dev)

# What the Windows cross-build (scripts/windows.sh) needs on top: mingw-w64 and Wine.
DEVIR_WINDOWS_PACKAGES=(g++-mingw-w64-x86-64 wine wine64)

# Installs the Debian packages that are missing (needs root on a fresh machine): the ones
# named, else DEVIR_PACKAGES.
devir_ensure_packages() {
  local wanted=("$@")
  [ "${#wanted[@]}" -gt 0 ] || wanted=("${DEVIR_PACKAGES[@]}")
  local missing=()
  for p in "${wanted[@]}"; do
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

# Configures and builds one CMake preset ("dev", "release", "windows" or "fuzz").
devir_build() {
  local preset="$1"; shift
  cmake --preset "$preset" >&2
  cmake --build --preset "$preset" "$@" >&2
}

# Shared by the quick-start scripts: installs what the build needs and builds a preset.
# Sourced, not run.

DEVIR_PACKAGES=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev
  unixodbc-dev tdsodbc freetds-bin
  libsqlite3-dev
  clang-format
  locales
)
# The fuzz targets (scripts/fuzz.sh): clang and its libFuzzer runtime.
DEVIR_FUZZ_PACKAGES=(clang libclang-rt-14-dev)

# Installs the Debian packages that are missing (needs root on a fresh machine): the list above
# and any named as arguments.
devir_ensure_packages() {
  local missing=()
  for p in "${DEVIR_PACKAGES[@]}" "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
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

# Configures and builds one CMake preset ("dev", "release" or "fuzz").
devir_build() {
  local preset="$1"; shift
  cmake --preset "$preset" >&2
  cmake --build --preset "$preset" "$@" >&2
}

# Installs the Debian packages Rowlark needs to build, test and run, when any is missing.
# Sourced by the other scripts; uses sudo when not root.

ROWLARK_PACKAGES=(
  cmake make g++ pkg-config
  libicu-dev rapidjson-dev
  googletest libgtest-dev libgmock-dev
  nodejs libjavascriptcoregtk-4.1-dev zlib1g-dev libexpat1-dev libxlsxwriter-dev python3-openpyxl python3-odf
  qt6-base-dev qt6-svg-dev libqt6svg6 qt6-tools-dev qt6-l10n-tools
  help2man librsvg2-bin desktop-file-utils appstream shared-mime-info man-db
)
# Some Node.js builds bring their own npm and conflict with Debian's package of it.
command -v npm >/dev/null 2>&1 || ROWLARK_PACKAGES+=(npm)

rowlark_install_dependencies() {
  local missing=()
  local package
  for package in "${ROWLARK_PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$package")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0

  if ! command -v apt-get >/dev/null 2>&1; then
    echo "apt-get is not available. Install these packages (or your system's equivalents) and run again:" >&2
    printf '  %s\n' "${missing[@]}" >&2
    return 1
  fi

  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null 2>&1; then
      echo "Installing ${missing[*]} needs root, and sudo is not available." >&2
      return 1
    fi
    sudo=(sudo)
  fi
  echo "Installing missing packages: ${missing[*]}"
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Configures and builds one build tree: rowlark_build DIR [cmake options...]
rowlark_build() {
  local dir=$1
  shift
  cmake -S "$ROWLARK_ROOT" -B "$ROWLARK_ROOT/$dir" "$@" >/dev/null
  cmake --build "$ROWLARK_ROOT/$dir" --parallel "$(nproc)"
}

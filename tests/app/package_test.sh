#!/usr/bin/env bash
# Packs the built programs into the Debian package and checks it: the files it installs (and
# every picture its README links), that it declares the package of every library its programs
# link, that its desktop entry is valid,
# and that its program runs from the installed layout (--version, --help, the settings file
# made from the installed sample on a first start).
# Usage: package_test.sh BUILD_DIR VERSION
set -euo pipefail
echo "package_test: checking $2 from $1" >&2
build=$1
version=$2
work=$(mktemp -d)
app=
cleanup() {
  if [ -n "$app" ]; then kill "$app" 2>/dev/null || true; wait "$app" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "package_test: $*" >&2; failures=$((failures + 1)); }

cpack --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 || {
  echo "package_test: cpack failed:" >&2
  tail -20 "$work/cpack.log" >&2
  exit 1
}
deb="$work/altrix-scope_${version}_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { echo "package_test: no $deb" >&2; exit 1; }

# The files, as dpkg-deb lists them.
listed=$(dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's|^\./|/|')
for f in /usr/bin/altrix-scope /usr/bin/altrix-drive-sim \
    /usr/share/applications/altrix-scope.desktop \
    /usr/share/icons/hicolor/scalable/apps/altrix-scope.svg \
    /usr/share/icons/hicolor/{16x16,32x32,48x48,64x64,128x128,256x256}/apps/altrix-scope.png \
    /usr/share/altrix-scope/altrix-scope.INI "/usr/share/altrix-scope/Parameter list.plf" \
    /usr/share/doc/altrix-scope/README.md /usr/share/doc/altrix-scope/copyright \
    /usr/share/doc/altrix-scope/tools/drive-sim/README.md; do
  grep -qxF "$f" <<<"$listed" || fail "the package lacks $f"
done
outside=$(grep -v '^/usr/' <<<"$listed" | grep -vx '/' || true)
[ -z "$outside" ] || fail "files outside /usr: $outside"

# Depends names the package of every library that either program links directly.
depends=$(dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed -E 's/\(.*\)//; s/[[:space:]]//g')
root="$work/root"
dpkg-deb -x "$deb" "$root"
# Each library by the path the loader finds; dpkg knows it under /usr or without (merged /usr).
links=()
for program in altrix-scope altrix-drive-sim; do
  binary="$root/usr/bin/$program"
  for soname in $(readelf -d "$binary" | sed -nE 's/.*\(NEEDED\).*\[(.*)\]/\1/p'); do
    # The loader itself, when a program names it, is listed by its path alone. awk reads ldd to
    # its end: a pipe closed early would fail the pipeline.
    links+=("$program $soname $(ldd "$binary" | awk -v so="$soname" '!found && $1 == so { print $3; found = 1 } !found && $1 ~ ("/" so "$") { print $1; found = 1 }')")
  done
done
candidates=()
for link in "${links[@]}"; do
  path=${link##* }
  candidates+=("$path" "${path#/usr}" "/usr$path")
done
owners=$(dpkg -S "${candidates[@]}" 2>/dev/null || true)
for link in "${links[@]}"; do
  read -r program soname path <<<"$link"
  if [ -z "$path" ]; then
    fail "$program: the loader finds no $soname"
    continue
  fi
  package=$(awk -F': ' -v a="$path" -v b="${path#/usr}" -v c="/usr$path" \
    '$2 == a || $2 == b || $2 == c { sub(/:.*/, "", $1); print $1; exit }' <<<"$owners")
  if [ -z "$package" ]; then
    fail "$program: no Debian package holds $soname ($path)"
  elif ! grep -qxF "$package" <<<"$depends"; then
    fail "$program links $soname of $package, which Depends does not name"
  fi
done
grep -qxF qt6-qpa-plugins <<<"$depends" || fail "Depends lacks Qt's platform plugins"

# Every picture the installed README links is installed where the link points.
doc="$root/usr/share/doc/altrix-scope"
images=$(grep -oE '\]\([^)]+\.(png|svg|jpg)\)' "$doc/README.md" | sed -E 's/^\]\((.*)\)$/\1/') || fail "no picture links"
for image in $images; do [ -f "$doc/$image" ] || fail "the installed README links $image, which the package lacks"; done

desktop-file-validate "$root/usr/share/applications/altrix-scope.desktop" ||
  fail "the desktop entry is not valid"

# The program runs from the installed layout; --version and --help need no display.
exe="$root/usr/bin/altrix-scope"
shown=$(env -u DISPLAY -u WAYLAND_DISPLAY "$exe" --version) || fail "--version failed"
[ "$shown" = "altrix-scope $version" ] || fail "--version printed '$shown'"
env -u DISPLAY -u WAYLAND_DISPLAY "$exe" --help | grep -q -- '--version' || fail "--help lacks --version"

# A first start makes the user's settings file from the installed sample, with the parameter
# list beside it named by its full path.
config="$work/config/altrix-scope"
XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work" QT_QPA_PLATFORM=offscreen "$exe" 2>/dev/null &
app=$!
for _ in $(seq 300); do [ -s "$config/altrix-scope.INI" ] && break; sleep 0.1; done
[ -f "$config/Parameter list.plf" ] || fail "no parameter list copied to $config"
grep -qxF "ListFilePath=$config/Parameter list.plf" "$config/altrix-scope.INI" 2>/dev/null ||
  fail "the first start's settings file does not name the copied list"

[ "$failures" -eq 0 ] || exit 1
echo "package_test: $(basename "$deb") checked"

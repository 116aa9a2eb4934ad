#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what the desktop
# reads there: the menu entry validates, the icons and the task file type
# are in place, and a ".avt" file is recognised as a task.
#   CheckInstall.sh BUILD_DIR
set -euo pipefail
build="$1"
root="$(mktemp -d)"
trap 'rm -rf "$root"' EXIT
prefix="$root/prefix"
cmake --install "$build" --prefix "$prefix" > "$root/install.log"

share="$prefix/share"
desktop="$share/applications/arvelo.desktop"
desktop-file-validate "$desktop"
grep -qx 'Exec=arvelo %f' "$desktop"
grep -qx 'MimeType=application/x-arvelo-task;' "$desktop"
for size in 16 32 48 64 128 256; do
  test -s "$share/icons/hicolor/${size}x${size}/apps/arvelo.png"
done
test -s "$share/mime/packages/arvelo-task.xml"
test -s "$share/arvelo/help/index.htm"
test -s "$share/arvelo/Skins/Default/go.bmp"
test -x "$prefix/bin/arvelo"

# The desktop's type database, built from the installed declaration.
export XDG_DATA_HOME="$root/data" XDG_DATA_DIRS="$share:/usr/share" XDG_CONFIG_HOME="$root/config"
mkdir -p "$XDG_DATA_HOME/mime/packages"
cp "$share/mime/packages/arvelo-task.xml" "$XDG_DATA_HOME/mime/packages/"
update-mime-database "$XDG_DATA_HOME/mime"
printf '[Task]\r\nTask Name=site\r\n' > "$root/site.avt"
type="$(xdg-mime query filetype "$root/site.avt")"
if [ "$type" != "application/x-arvelo-task" ]; then
  echo "a .avt file is '$type'" >&2
  exit 1
fi
echo "install layout and task file type: ok"

#!/usr/bin/env bash
# Tarnwick hands a new book to the authoring application, which runs under
# Wine, through xdg-open. Wine registers *.dml for its own desktop entry in the
# user's data folder, under a MIME type of its own when the system knows none.
# With Tarnwick installed system-wide, xdg-open must still reach that entry:
# checked here for the generic desktop (File::MimeInfo) and GNOME's (GIO).
# Nothing here touches the real user's files; no Wine is needed.
# Usage: dml-handoff.sh --prefix INSTALLED_PREFIX | --build BUILD_DIR
# Exit status 77: a needed tool is missing (the test is skipped).
set -euo pipefail

case "${1:-}" in
--prefix) prefix=$(cd "${2:?}" && pwd) ;;
--build) build=$(cd "${2:?}" && pwd) ;;
*) echo "usage: dml-handoff.sh --prefix DIR | --build DIR" >&2; exit 2 ;;
esac

for tool in xdg-mime xdg-open mimetype gio update-mime-database update-desktop-database; do
    if ! command -v "$tool" >/dev/null; then
        echo "dml-handoff: SKIPPED - $tool is missing (xdg-utils, libfile-mimeinfo-perl, libglib2.0-bin," \
             "shared-mime-info, desktop-file-utils)"
        exit 77
    fi
done

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
if [ -n "${build:-}" ]; then
    prefix=$scratch/prefix
    cmake --install "$build" --prefix "$prefix" >/dev/null
fi

system=$scratch/system
home=$scratch/home
data=$home/.local/share
# Also for the cache builders, which otherwise warn about folders off the path.
export XDG_DATA_HOME=$data XDG_DATA_DIRS="$system:/usr/local/share:/usr/share"

# Tarnwick's data files as a system folder, with the caches dpkg's triggers
# would build from them.
mkdir -p "$system"
for part in mime/packages applications; do
    if [ -d "$prefix/share/$part" ]; then
        mkdir -p "$system/$part"
        cp -R "$prefix/share/$part/." "$system/$part/"
    fi
done
[ -d "$system/mime/packages" ] && update-mime-database "$system/mime"
[ -d "$system/applications" ] && update-desktop-database "$system/applications"

# What Wine's file-association builder leaves for an extension it has an
# application for and the system has no type for.
mkdir -p "$data/mime/packages" "$data/applications" "$home/.config" "$scratch/bin" "$scratch/books"
cat >"$data/mime/packages/x-wine-extension-dml.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<mime-info xmlns="http://www.freedesktop.org/standards/shared-mime-info">
  <mime-type type="application/x-wine-extension-dml">
    <glob pattern="*.dml"/>
    <comment>DeskTop Author document</comment>
  </mime-type>
</mime-info>
XML
cat >"$data/applications/wine-extension-dml.desktop" <<DESKTOP
[Desktop Entry]
Type=Application
Name=DeskTop Author
MimeType=application/x-wine-extension-dml;
Exec=env WINEPREFIX=$scratch/wineprefix $scratch/bin/wine start /ProgIDOpen DeskTopAuthor.Document %f
NoDisplay=true
StartupNotify=true
DESKTOP
cat >"$scratch/bin/wine" <<SCRIPT
#!/bin/sh
printf '%s\n' "\$@" >"$scratch/launched.tmp" && mv "$scratch/launched.tmp" "$scratch/launched"
SCRIPT
chmod +x "$scratch/bin/wine"
update-mime-database "$data/mime"
update-desktop-database "$data/applications"

book=$scratch/books/MyEBook.dml
printf '\r\n<BOOKHEAD version="2.0.2"/>\r\n' >"$book"

failures=0
fail() { echo "dml-handoff: FAIL - $*" >&2; failures=$((failures + 1)); }

run() {
    env -i PATH="$PATH" HOME="$home" XDG_DATA_HOME="$data" XDG_CONFIG_HOME="$home/.config" \
        XDG_DATA_DIRS="$XDG_DATA_DIRS" XDG_CONFIG_DIRS="$scratch/xdg" \
        XDG_CURRENT_DESKTOP="$desktop" DISPLAY=:99 BROWSER=false "$@" </dev/null
}

for desktop in X-Generic GNOME; do
    type=$(run xdg-mime query filetype "$book" | sed 's/;.*//')
    [ "$type" = application/x-wine-extension-dml ] ||
        fail "$desktop: xdg-mime query filetype gives '$type', not Wine's application/x-wine-extension-dml"
    default=$(run xdg-mime query default application/x-wine-extension-dml)
    [ "$default" = wine-extension-dml.desktop ] ||
        fail "$desktop: the default for Wine's type is '$default', not wine-extension-dml.desktop"

    rm -f "$scratch/launched"
    run timeout 20 xdg-open "$book" >"$scratch/xdg-open.log" 2>&1 || true
    for _ in $(seq 100); do [ -e "$scratch/launched" ] && break; sleep 0.05; done
    if [ ! -e "$scratch/launched" ]; then
        fail "$desktop: xdg-open did not start Wine's entry: $(tr '\n' ' ' <"$scratch/xdg-open.log")"
    elif [ "$(tail -n 1 "$scratch/launched")" != "$book" ]; then
        fail "$desktop: Wine's entry was started with '$(tr '\n' ' ' <"$scratch/launched")'"
    else
        echo "dml-handoff: $desktop: $type, opened with wine-extension-dml.desktop"
    fi
done

if ((failures)); then
    echo "dml-handoff: $failures failure(s)"
    exit 1
fi
echo "dml-handoff: passed"

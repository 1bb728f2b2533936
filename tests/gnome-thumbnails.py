"""Tarnwick's thumbnails against GNOME's own thumbnail factory.

GNOME's lookup finds the thumbnails Tarnwick writes, and Tarnwick reads the
ones GNOME writes without replacing them. Skipped (77) without python3-gi and
gir1.2-gnomedesktop-3.0. Usage: gnome-thumbnails.py THUMBNAILPROBE
"""
import atexit
import os
import shutil
import subprocess
import sys
import tempfile

home = tempfile.mkdtemp(prefix="tarnwick-gnome-thumbnails-")
atexit.register(shutil.rmtree, home, ignore_errors=True)
# Before GLib reads it for the first time.
os.environ["XDG_CACHE_HOME"] = os.path.join(home, "cache")

try:
    import gi
    gi.require_version("GnomeDesktop", "3.0")
    gi.require_version("GdkPixbuf", "2.0")
    from gi.repository import GdkPixbuf, GLib, GnomeDesktop
except (ImportError, ValueError) as error:
    print(f"skipped: {error}")
    sys.exit(77)

probe = sys.argv[1]
failures = []


def check(what, actual, expected):
    if actual != expected:
        failures.append(f"{what}: {actual!r}, expected {expected!r}")


def picture(name, width, height):
    path = os.path.join(home, name)
    pixbuf = GdkPixbuf.Pixbuf.new(GdkPixbuf.Colorspace.RGB, False, 8, width, height)
    pixbuf.fill(0x3080C0FF)
    pixbuf.savev(path, "jpeg", [], [])
    return path, GLib.filename_to_uri(path), int(os.stat(path).st_mtime)


def tarnwick(command, path, size):
    return subprocess.run([probe, command, path, str(size)], check=True, capture_output=True,
                          text=True).stdout.strip()


sizes = {128: GnomeDesktop.DesktopThumbnailSize.NORMAL, 256: GnomeDesktop.DesktopThumbnailSize.LARGE,
         512: GnomeDesktop.DesktopThumbnailSize.XLARGE}

# Tarnwick writes, GNOME finds: names that need percent-encoding included.
for size, gnome_size in sizes.items():
    path, uri, mtime = picture(f"图 片#{size};.jpg", 1200, 900)
    check(f"Tarnwick's thumbnail of {size}", tarnwick("obtain", path, size), f"{size}x{size * 3 // 4}")
    factory = GnomeDesktop.DesktopThumbnailFactory.new(gnome_size)
    found = factory.lookup(uri, mtime)
    check(f"GNOME's lookup of Tarnwick's {size}", found is not None and os.path.isfile(found), True)
    check(f"GNOME's lookup of a changed time ({size})", factory.lookup(uri, mtime + 1), None)

# GNOME writes, Tarnwick reads it as it is.
path, uri, mtime = picture("gnome (1).jpg", 400, 300)
factory = GnomeDesktop.DesktopThumbnailFactory.new(GnomeDesktop.DesktopThumbnailSize.NORMAL)
factory.save_thumbnail(factory.generate_thumbnail(uri, "image/jpeg", None), uri, mtime, None)
entry = factory.lookup(uri, mtime)
check("GNOME's own thumbnail", entry is not None, True)
if entry:
    with open(entry, "rb") as file:
        before = file.read()
    check("Tarnwick's lookup of GNOME's thumbnail", tarnwick("lookup", path, 128), "128x96")
    check("Tarnwick's use of GNOME's thumbnail", tarnwick("obtain", path, 128), "128x96")
    with open(entry, "rb") as file:
        check("GNOME's thumbnail left as it was", file.read() == before, True)

for failure in failures:
    print(failure)
sys.exit(1 if failures else 0)

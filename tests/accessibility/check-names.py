"""Checks the names, roles and press actions that tarnwick's main window
offers through AT-SPI. Started by run-atspi.sh on a private session bus."""
import subprocess
import sys
import time

import pyatspi

TEXT_BOXES = ["选择图片所在目录", "dml 文件名", "宽", "高", "图片宽", "图片高", "左边距", "上边距"]
BUTTONS = ["浏览…", "上移到顶部", "上移一行", "下移一行", "下移到底部", "移  除", "点击 选择E书背景的颜色"]
# On Linux Qt names a combo box by its current entry; its caption reaches the
# screen reader as the combo's labelled-by relation.
COMBO = ("拉伸", "combo box")
COMBO_LABEL = "缩放方式："
EXPECTED = ([("图片列表", "list"), COMBO] + [(n, "text") for n in TEXT_BOXES]
            + [(n, "push button") for n in BUTTONS])


def wait_for(what, probe, seconds=20):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        found = probe()
        if found:
            return found
        time.sleep(0.1)
    sys.exit(f"FAIL: {what}")


def application():
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is not None and app.name == "tarnwick":
            return app
    return None


def walk(node):
    yield node
    for child in node:
        if child is not None:
            yield from walk(child)


def controls(app):
    return {(node.name, node.getRoleName()): node for node in walk(app)}


def dialogs(app):
    return [w for w in app if w is not None and w.getRoleName() == "dialog"]


def main():
    window = subprocess.Popen([sys.argv[1]])
    try:
        app = wait_for("tarnwick did not appear on the accessibility bus", application)
        found = wait_for("the main window's controls did not appear",
                         lambda: controls(app) if ("图片列表", "list") in controls(app) else None)
        failures = [f"{name!r} as {role}" for name, role in EXPECTED if (name, role) not in found]
        if failures:
            print("seen:", sorted(k for k in found if k[0]), file=sys.stderr)
            sys.exit("FAIL: not found: " + ", ".join(failures))

        for name, role in EXPECTED:
            if role == "push button":
                actions = found[(name, role)].queryAction()
                names = [actions.getName(i) for i in range(actions.nActions)]
                if "Press" not in names:
                    sys.exit(f"FAIL: {name!r} offers {names}, no press action")

        labels = [r.getTarget(i).name for r in found[COMBO].getRelationSet()
                  if r.getRelationType() == pyatspi.RELATION_LABELLED_BY for i in range(r.getNTargets())]
        if COMBO_LABEL not in labels:
            sys.exit(f"FAIL: the combo box is labelled by {labels}, not {COMBO_LABEL!r}")

        # Pressing the background swatch opens the colour chooser.
        swatch = found[("点击 选择E书背景的颜色", "push button")]
        if dialogs(app):
            sys.exit("FAIL: a dialog is open before the press")
        swatch.queryAction().doAction(0)
        wait_for("the press action opened no colour chooser", lambda: dialogs(app))
        print("PASS: names, roles and press actions")
    finally:
        window.kill()
        window.wait()


main()

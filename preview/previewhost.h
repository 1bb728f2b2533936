#pragma once

#include <QPoint>
#include <QSize>
#include <QString>

class QWindow;

namespace tarnwick {

// What the preview window may see of the main window, and the one thing it
// may change there.
class PreviewHost
{
public:
    virtual ~PreviewHost() = default;

    virtual QString pictureFolder() const = 0;   // the text of Text1
    virtual QString currentEntry() const = 0;    // List1's current entry, "" when none
    virtual QPoint hostPosition() const = 0;     // the main window's outer top-left corner
    virtual QSize hostClientSize() const = 0;    // the main window's client area
    // The main window's native window, which owns the preview; null while it
    // has none.
    virtual QWindow *hostWindow() const = 0;
    // Sets Check2 to 0; its click handling runs at once and may close the preview.
    virtual void untickPreview() = 0;
};

} // namespace tarnwick

#pragma once

#include <QString>

namespace tarnwick {

// Keeps an older document recoverable when a new one takes its place: a hard
// link to it in the desktop's trash (the freedesktop.org trash: the home trash
// when the document lies on the same device, else the trash at the top of its
// file system), with the .trashinfo a file manager restores it from.
//
// The link is made while the older document is still at its place, so the
// replacement stays one rename: once the new document stands there, the link
// is all that is left of the older one; should the replacement fail, undo()
// takes both entries out of the trash again and nothing has moved.
class TrashedDocument
{
public:
    // Links the plain file at path into its trash. When it is no plain file,
    // or no trash can take it (another device, no hard links, no rights), the
    // result is empty and nothing was changed.
    static TrashedDocument link(const QString &path);

    TrashedDocument() = default;

    bool isEmpty() const { return m_filePath.isEmpty(); }
    // The entry in the trash's files/ and its info/ record.
    QString filePath() const { return m_filePath; }
    QString infoPath() const { return m_infoPath; }

    // Removes both entries from the trash.
    void undo();

private:
    QString m_filePath;
    QString m_infoPath;
};

} // namespace tarnwick

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
// takes both entries out of the trash again and nothing has moved. On a file
// system without hard links the older document is moved into the trash
// instead, and undo() moves it back.
class TrashedDocument
{
public:
    // Links the plain file at path into its trash. The result is empty, with
    // nothing changed, when there is no plain file there, or when the file
    // system has no trash and none may be made (the top of another device
    // that the user cannot write); it is refused, with the reason, when a
    // trash is there but cannot take the document: the home trash a link or a
    // file, its files/ or info/ not writable, a top-level trash of another
    // user's.
    static TrashedDocument link(const QString &path);

    TrashedDocument() = default;

    bool isEmpty() const { return m_filePath.isEmpty(); }
    bool isRefused() const { return !m_refusal.isEmpty(); }
    // Why the trash cannot take the document, in English.
    QString refusal() const { return m_refusal; }
    // The entry in the trash's files/ and its info/ record.
    QString filePath() const { return m_filePath; }
    QString infoPath() const { return m_infoPath; }

    // Removes both entries from the trash.
    void undo();

private:
    static TrashedDocument refused(const QString &reason);

    QString m_filePath;
    QString m_infoPath;
    QString m_original; // where a moved document goes back to
    QString m_refusal;
};

} // namespace tarnwick

#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

namespace tarnwick {

// The thumbnails of pictures in the freedesktop thumbnail cache that file
// managers and viewers share: one PNG per picture and size in normal (128),
// large (256), x-large (512) or xx-large (1024), named by the MD5 of the
// picture's file:// URI and valid only while its Thumb::URI and Thumb::MTime
// match the picture. Tarnwick's own failures go under fail/tarnwick-VERSION.
// Thumbnails that other programs wrote are read as they are and never
// replaced while they are valid. The cache is used only where its folders are
// the user's own and writable by nobody else; folders below the root are never
// followed when they are links, an entry is read only when it is a plain file
// whose PNG header claims no more pixels than its size allows. Every method
// may run on any thread.
class ThumbnailCache
{
public:
    // root is the "thumbnails" folder itself.
    explicit ThumbnailCache(QString root);

    // $XDG_CACHE_HOME/thumbnails, or ~/.cache/thumbnails when that is unset
    // or not an absolute path.
    static QString defaultRoot();

    // The smallest size that holds a thumbnail of the given edge in pixels
    // (128, 256, 512 or 1024; 1024 for anything larger).
    static int bucketFor(int pixels);
    static QString folderName(int bucket);

    // The picture's absolute file:// URI, percent-encoded byte for byte as
    // GLib encodes file names (only letters, digits and -_.!~*'()/:@&=+$,
    // stay as they are).
    static QByteArray uriOf(const QString &path);

    const QString &root() const { return m_root; }
    QString entryPath(const QString &path, int bucket) const;
    QString failurePath(const QString &path) const;

    // The valid thumbnail of this size, or of a larger size scaled down to fit
    // the bucket's square; a null image when there is none.
    QImage lookup(const QString &path, int bucket) const;
    // Whether Tarnwick found this picture unreadable since it last changed.
    bool hasFailure(const QString &path) const;

    // Write an entry through a temporary file in the same folder and a
    // rename; folders that have to be made get mode 0700, the entry 0600. The
    // first write into a folder removes the temporary files a killed run left.
    // pictureSize is the picture's own size. False when nothing was written.
    bool store(const QString &path, int bucket, const QImage &thumbnail, QSize pictureSize) const;
    bool storeFailure(const QString &path) const;

    struct Result
    {
        QImage image;   // null when the picture cannot be read
        bool failed = false;
    };
    // The cached thumbnail, or a new one made, stored and returned; a failure
    // entry for a picture that cannot be read.
    Result obtain(const QString &path, int bucket) const;
    // obtain() without looking in the cache first: a new thumbnail made and
    // stored, or a failure entry.
    Result make(const QString &path, int bucket) const;

private:
    QString m_root;
};

} // namespace tarnwick

#include "export/exportnames.h"

#include "book/gbktext.h"

#include <QSet>

namespace tarnwick {

namespace {

QString extensionOf(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot);
}

} // namespace

bool isCarriableName(const QString &name)
{
    if (name.isEmpty() || name.endsWith(u'.') || name.endsWith(u' '))
        return false;
    static const QString kWindowsForbidden = QStringLiteral("<>:\"/\\|?*");
    for (const QChar c : name) {
        if (kWindowsForbidden.contains(c))
            return false;
    }
    return encodePictureName(name).has_value();
}

QStringList exportedNames(const QStringList &pictures, const std::vector<bool> &converted,
                          const std::vector<int> &pages)
{
    QStringList names;
    names.reserve(pictures.size());
    QSet<QString> taken;
    for (qsizetype i = 0; i < pictures.size(); ++i) {
        const QString &picture = pictures.at(i);
        const bool toJpeg = converted.at(size_t(i));
        QString extension = toJpeg ? QStringLiteral(".jpg") : extensionOf(picture);
        QString name = picture;
        if (toJpeg && extensionOf(picture) != extension)
            name = picture.left(picture.size() - extensionOf(picture).size()) + extension;
        const QString pageName = QStringLiteral("p%1").arg(pages.at(size_t(i)), 5, 10, QLatin1Char('0'));
        if (!isCarriableName(extension))
            extension = toJpeg ? QStringLiteral(".jpg") : QString();
        if (!isCarriableName(name) || taken.contains(name.toCaseFolded()))
            name = pageName + extension;
        for (int n = 2; taken.contains(name.toCaseFolded()); ++n)
            name = pageName + u'-' + QString::number(n) + extension;
        taken.insert(name.toCaseFolded());
        names.append(name);
    }
    return names;
}

} // namespace tarnwick

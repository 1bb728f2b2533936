#pragma once

#include <QString>
#include <QStringList>

namespace tarnwick::messages {

// The texts that the generation run shows, each defined once.
inline QString emptyList() { return QStringLiteral(u"图片列表为空，请选择图片所在目录！"); }
inline QString noFolder() { return QStringLiteral(u"请选择图片所在目录！"); }
inline QString mustNotBeEmpty() { return QStringLiteral(u"此处不能为空！"); }
inline QString enterNumber() { return QStringLiteral(u"请输入数字！"); }
inline QString badBookSize() { return QStringLiteral(u"E书尺寸无效！"); }
inline QString badOffset() { return QStringLiteral(u"边距无效！"); }
inline QString pictureTooWide() { return QStringLiteral(u"图片的宽度不能超过E书的宽度！"); }
inline QString pictureTooTall() { return QStringLiteral(u"图片的高度不能超过E书的高度！"); }
inline QString leftTooLarge() { return QStringLiteral(u"图片的左边据过大！"); }
inline QString topTooLarge() { return QStringLiteral(u"图片的上边据过大！"); }
inline QString badFileName() { return QStringLiteral(u"文件名无效！"); }
inline QString unwritablePictureName() { return QStringLiteral(u"图片文件名无法写入dml文件："); }
inline QString cannotWrite() { return QStringLiteral(u"无法写入dml文件："); }
inline QString unreadableSizes() { return QStringLiteral(u"以下图片无法读取尺寸："); }

// A heading, then the first 20 names one a line, then the count of all.
inline QString namedPictures(const QString &heading, const QStringList &names)
{
    constexpr qsizetype kMostNamed = 20;
    QString text = heading;
    for (qsizetype i = 0; i < names.size() && i < kMostNamed; ++i)
        text += u'\n' + names.at(i);
    return text + QStringLiteral(u"\n……共%1个").arg(names.size());
}

} // namespace tarnwick::messages

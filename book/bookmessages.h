#pragma once

#include <QString>
#include <QStringList>

#include <algorithm>

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
inline QString cannotTrash() { return QStringLiteral(u"无法将原有的dml文件移到回收站："); }
inline QString replaceWithoutTrash() { return QStringLiteral(u"是否不经回收站直接替换原有的dml文件？"); }
inline QString nameIsPicture() { return QStringLiteral(u"dml文件名不能是图片文件名！"); }
inline QString picturesVanished() { return QStringLiteral(u"以下图片在目录中找不到："); }
inline QString unreadableSizes() { return QStringLiteral(u"以下图片无法读取尺寸："); }
inline QString tooManyPictures() { return QStringLiteral(u"图片数量超过32767个，只列出了前32767个。"); }

// Why a book is refused as too large, by the reader and the writer alike.
inline QString tooManyPages() { return QStringLiteral(u"页数超过32767"); }
inline QString documentTooLarge() { return QStringLiteral(u"文件大于64 MiB"); }

// A heading and then names, one a line: the first 20, then the count when
// there are more.
inline QString nameList(const QString &heading, const QStringList &names)
{
    constexpr qsizetype shown = 20;
    QString text = heading;
    for (qsizetype i = 0; i < std::min(names.size(), shown); ++i)
        text += u'\n' + names.at(i);
    if (names.size() > shown)
        text += QStringLiteral(u"\n……共%1个").arg(names.size());
    return text;
}

} // namespace tarnwick::messages

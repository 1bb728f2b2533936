#include "app/frmmain.h"
#include "app/startup.h"
#include "scriptedplatform.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace tarnwick;

namespace {

bool writePicture(const QString &path, int width, int height, const char *format)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::yellow);
    return image.save(path, format);
}

// A GIF of 3 x 2 pixels; Qt reads GIF but does not write it.
const QByteArray gif3x2 = QByteArray::fromHex(
    "47494638396103000200f00000ff000000000021f90400000000002c0000000003000200000202845f003b");

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

// The browse command through the real window over real temporary folders.
class tst_frmMainBrowse : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    ScriptedPlatform m_platform;
    std::unique_ptr<frmMain> m_window;

    template <typename W = QWidget>
    W *control(const QString &name) const
    {
        return m_window->findChild<W *>(name);
    }

    QString text(const QString &name) const { return control<QLineEdit>(name)->text(); }
    QStringList sizes() const
    {
        return {text(QStringLiteral("Text3(0)")), text(QStringLiteral("Text3(1)")),
                text(QStringLiteral("Text3(2)")), text(QStringLiteral("Text3(3)"))};
    }
    QStringList entries() const
    {
        const QAbstractItemModel *model = control<QListView>(QStringLiteral("List1"))->model();
        QStringList names;
        for (int row = 0; row < model->rowCount(); ++row)
            names.append(model->index(row, 0).data().toString());
        return names;
    }
    QString caption() const { return control<QGroupBox>(QStringLiteral("Frame1"))->title(); }

    void browse(const QString &folder)
    {
        m_platform.folders.push_back(folder);
        QTest::mouseClick(control(QStringLiteral("Command1")), Qt::LeftButton);
    }

    QString folder(const QString &name) const
    {
        const QString path = m_dir->filePath(name);
        QDir().mkpath(path);
        return path;
    }

private Q_SLOTS:
    void initTestCase()
    {
        auto *app = qobject_cast<QApplication *>(QCoreApplication::instance());
        QVERIFY(app);
        setUpApplication(*app);
    }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_platform = ScriptedPlatform();
        m_window = std::make_unique<frmMain>(m_platform, m_dir->filePath(QStringLiteral("none.ini")));
        m_window->show();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    }

    void cleanup() { m_window.reset(); }

    void fillsListCaptionAndSizes()
    {
        const QString pics = folder(QStringLiteral("pics"));
        QVERIFY(writeBytes(pics + QStringLiteral("/b.gif"), gif3x2));
        QVERIFY(writePicture(pics + QStringLiteral("/a.jpg"), 640, 480, "JPEG"));
        QVERIFY(writeBytes(pics + QStringLiteral("/c.GIF"), gif3x2));
        QVERIFY(writePicture(pics + QStringLiteral("/d.png"), 5, 5, "PNG"));
        QVERIFY(QDir().mkpath(pics + QStringLiteral("/e.gif")));
        browse(pics);

        QCOMPARE(m_platform.folderTitles, QStringList{QStringLiteral(u"请选择图片所在目录：")});
        QCOMPARE(m_platform.parents.first(), m_window.get());
        QCOMPARE(text(QStringLiteral("Text1")), pics + u'/');
        QCOMPARE(entries(), (QStringList{QStringLiteral("a.jpg"), QStringLiteral("b.gif"),
                                         QStringLiteral("c.GIF")}));
        QCOMPARE(caption(), QStringLiteral(u"图片列表(3个)"));
        QCOMPARE(sizes(), (QStringList{QStringLiteral("640"), QStringLiteral("480"),
                                       QStringLiteral("640"), QStringLiteral("480")}));
        QVERIFY(m_platform.warnings.isEmpty());
        QVERIFY(!control<QListView>(QStringLiteral("List1"))->selectionModel()->hasSelection());
    }

    void sizesComeFromTheFirstEntryWhateverItsType()
    {
        const QString pics = folder(QStringLiteral("gif first"));
        QVERIFY(writeBytes(pics + QStringLiteral("/a.gif"), gif3x2));
        QVERIFY(writePicture(pics + QStringLiteral("/b.jpg"), 640, 480, "JPEG"));
        // A folder that already ends in "/" gets no second one.
        browse(pics + u'/');
        QCOMPARE(text(QStringLiteral("Text1")), pics + u'/');
        QCOMPARE(sizes(), (QStringList{QStringLiteral("3"), QStringLiteral("2"), QStringLiteral("3"),
                                       QStringLiteral("2")}));
    }

    void rescanRestoresTheFullListUnselected()
    {
        const QString pics = folder(QStringLiteral("again"));
        for (const char *name : {"page2.jpg", "page10.jpg", "Page1.jpg"})
            QVERIFY(writePicture(pics + u'/' + QLatin1String(name), 20, 10, "JPEG"));
        browse(pics);
        const QStringList first = entries();
        QCOMPARE(first, (QStringList{QStringLiteral("Page1.jpg"), QStringLiteral("page10.jpg"),
                                     QStringLiteral("page2.jpg")}));
        auto *list = control<QListView>(QStringLiteral("List1"));
        list->selectionModel()->select(list->model()->index(2, 0), QItemSelectionModel::Select);
        QTest::mouseClick(control(QStringLiteral("Label11")), Qt::LeftButton);
        list->selectionModel()->select(list->model()->index(1, 0), QItemSelectionModel::Select);
        QTest::mouseClick(control(QStringLiteral("Label15")), Qt::LeftButton);
        QCOMPARE(entries().size(), 1);
        browse(pics);
        QCOMPARE(entries(), first);
        QVERIFY(!list->selectionModel()->hasSelection());
    }

    void emptyFolderKeepsSizes()
    {
        control<QLineEdit>(QStringLiteral("Text3(0)"))->setText(QStringLiteral("333"));
        const QString empty = folder(QStringLiteral("empty"));
        QVERIFY(writeBytes(empty + QStringLiteral("/x.gif.txt"), "x"));
        browse(empty);
        QCOMPARE(entries(), QStringList());
        QCOMPARE(caption(), QStringLiteral(u"图片列表(0个)"));
        QCOMPARE(sizes(), (QStringList{QStringLiteral("333"), QStringLiteral("768"),
                                       QStringLiteral("1024"), QStringLiteral("768")}));
        QVERIFY(m_platform.warnings.isEmpty());
    }

    void cancelKeepsEverythingButTheFolder()
    {
        const QString pics = folder(QStringLiteral("pics"));
        QVERIFY(writePicture(pics + QStringLiteral("/a.jpg"), 64, 48, "JPEG"));
        browse(pics);
        control<QLineEdit>(QStringLiteral("Text3(1)"))->setText(QStringLiteral("50"));
        browse(QString());
        QCOMPARE(text(QStringLiteral("Text1")), QString());
        QCOMPARE(entries(), QStringList{QStringLiteral("a.jpg")});
        QCOMPARE(caption(), QStringLiteral(u"图片列表(1个)"));
        QCOMPARE(sizes(), (QStringList{QStringLiteral("64"), QStringLiteral("50"),
                                       QStringLiteral("64"), QStringLiteral("48")}));
    }

    void unreadableFirstPictureIsReported()
    {
        const QString pics = folder(QStringLiteral("broken"));
        QVERIFY(writeBytes(pics + QStringLiteral("/a.jpg"), "this is no picture"));
        QVERIFY(writePicture(pics + QStringLiteral("/b.jpg"), 64, 48, "JPEG"));
        browse(pics);
        QCOMPARE(entries().size(), 2);
        QCOMPARE(caption(), QStringLiteral(u"图片列表(2个)"));
        QCOMPARE(sizes(), (QStringList{QStringLiteral("1024"), QStringLiteral("768"),
                                       QStringLiteral("1024"), QStringLiteral("768")}));
        QCOMPARE(m_platform.warnings.size(), 1);
        QVERIFY(m_platform.warnings.first().contains(pics + QStringLiteral("/a.jpg")));
    }
};

QTEST_MAIN(tst_frmMainBrowse)
#include "tst_frmmain_browse.moc"

#include "app/storedsettings.h"
#include "book/bookmessages.h"
#include "book/dmlwriter.h"
#include "mainwindowfixture.h"
#include "list/picturelist.h"

#include <QComboBox>
#include <QRegularExpression>

using namespace tarnwick;

// How each page's picture is placed, chosen in the window: the combo box, the
// stored choice, the sizes a generation needs and the notice of a reopened
// book placed by hand.
class tst_frmMainFit : public QObject, protected MainWindowFixture
{
    Q_OBJECT

public:
    tst_frmMainFit() : MainWindowFixture(QStringLiteral("Vellicor.ini")) {}

private:
    QString m_pictures; // ends in "/"

    QComboBox *combo() const { return control<QComboBox>(QStringLiteral("Combo1")); }

    // Picks the entry at index as the user does, by keyboard.
    void choose(int index)
    {
        for (int i = 0; i < index; ++i)
            QTest::keyClick(combo(), Qt::Key_Down);
    }

    QByteArray document() const
    {
        QFile f(m_pictures + QStringLiteral("MyEBook.dml"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // Each page's IMAGE left, top, width and height, pages apart by ";".
    QString places() const
    {
        static const QRegularExpression place(
            QStringLiteral(R"re(<IMAGE [^>]*left="([^"]*)" top="([^"]*)" width="([^"]*)" height="([^"]*)")re"));
        QStringList found;
        for (auto m = place.globalMatch(QString::fromLatin1(document())); m.hasNext();)
            found.append(m.next().capturedTexts().mid(1).join(u' '));
        return found.join(u';');
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(startApplication()); }

    void init()
    {
        QVERIFY(resetFixture());
        m_pictures = subfolder(QStringLiteral("pics")) + u'/';
        // A landscape first picture presets a 400 x 300 book; a portrait and a tiny one follow.
        QVERIFY(writePicture(m_pictures + QStringLiteral("a.jpg"), 400, 300));
        QVERIFY(writePicture(m_pictures + QStringLiteral("b.jpg"), 300, 400));
        QVERIFY(writeBytes(m_pictures + QStringLiteral("c.gif"), gif3x2));
    }

    void cleanup() { m_window.reset(); }

    // A generation places the pages the chosen way, stores the choice, and
    // the next window shows it again.
    void generatePlacesPagesAndStoresTheMode_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("expected");
        QTest::newRow("stretch: the typed box") << 0 << "0 0 400 300;0 0 400 300;0 0 400 300";
        QTest::newRow("contain") << 1 << "0 0 400 300;87 0 225 300;0 16 400 267";
        QTest::newRow("shrink: small pictures one to one") << 2 << "0 0 400 300;87 0 225 300;198 149 3 2";
    }

    void generatePlacesPagesAndStoresTheMode()
    {
        QFETCH(int, mode);
        QFETCH(QString, expected);
        open();
        browse(m_pictures);
        choose(mode);
        click(QStringLiteral("Command2"));
        QCOMPARE(m_platform.warnings, QStringList());
        QCOMPARE(places(), expected);
        QCOMPARE(loadStoredTexts(iniPath()).value(QStringLiteral("fitmode")), QString::number(mode));

        m_window.reset();
        open();
        QCOMPARE(combo()->currentIndex(), mode);
    }

    // A picture whose size cannot be read stops contain and shrink before
    // anything is written, and points the user at it; stretch never reads.
    void unreadableSizes_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("written");
        QTest::newRow("stretch writes") << 0 << true;
        QTest::newRow("contain refuses") << 1 << false;
        QTest::newRow("shrink refuses") << 2 << false;
    }

    void unreadableSizes()
    {
        QFETCH(int, mode);
        QFETCH(bool, written);
        QVERIFY(writeBytes(m_pictures + QStringLiteral("d.jpg"), QByteArrayLiteral("not a picture")));
        QVERIFY(writeBytes(m_pictures + QStringLiteral("e.jpg"), QByteArray::fromHex("ffd8ffe000104a46")));
        QVERIFY(writeBytes(m_pictures + QStringLiteral("MyEBook.dml"), QByteArrayLiteral("older")));
        open();
        browse(m_pictures);
        choose(mode);
        control(QStringLiteral("Text2"))->setFocus();
        click(QStringLiteral("Command2"));
        QCOMPARE(document() != "older", written);
        if (written)
            return;
        const QStringList unreadable{QStringLiteral("d.jpg"), QStringLiteral("e.jpg")};
        QCOMPARE(m_platform.warnings, QStringList{messages::nameList(messages::unreadableSizes(), unreadable)});
        QCOMPARE(m_platform.focusAtWarning, QStringList{QStringLiteral("List1")});
        QCOMPARE(m_window->findChild<PictureList *>()->selectedFlags(), (std::vector<bool>{0, 0, 0, 1, 1}));
        QCOMPARE(m_platform.questions, QStringList());
    }

    // Reopening restores the mode; a book whose pages follow no way of
    // placing reads as stretch, and the window says so once.
    void reopenedPlacement_data()
    {
        QTest::addColumn<PictureSizes>("writtenWith");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("notices");
        QTest::newRow("contain, the pictures' own sizes")
            << PictureSizes{{400, 300}, {300, 400}, {3, 2}} << 1 << QStringList{};
        QTest::newRow("placed by hand") << PictureSizes{{400, 300}, {100, 400}, {3, 2}} << 0
                                        << QStringList{QStringLiteral(u"dml文件中各页图片位置不一，已按第一页设置。")};
    }

    void reopenedPlacement()
    {
        QFETCH(PictureSizes, writtenWith);
        QFETCH(int, mode);
        QFETCH(QStringList, notices);
        BookSettings book;
        book.pictureFolder = m_pictures;
        book.setBookSize(QStringLiteral("400"), QStringLiteral("300"));
        book.pictures = {QStringLiteral("a.jpg"), QStringLiteral("b.jpg"), QStringLiteral("c.gif")};
        book.fitMode = FitMode::Contain;
        QCOMPARE(saveDocument(book, writtenWith, OlderDocument::Replace), std::nullopt);

        open().openPath(m_pictures + QStringLiteral("MyEBook.dml"));
        QCOMPARE(combo()->currentIndex(), mode);
        QCOMPARE(m_platform.informations, notices);
        QCOMPARE(m_platform.warnings, QStringList());
    }
};

QTEST_MAIN(tst_frmMainFit)
#include "tst_frmmain_fit.moc"

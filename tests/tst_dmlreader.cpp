#include "book/dmlreader.h"
#include "book/dmlwriter.h"

#include <QBuffer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace tarnwick;

namespace {

// What the reader must leave alone: inputs a document does not carry.
BookSettings sentinel()
{
    BookSettings s;
    s.pictureFolder = QStringLiteral("/books/");
    s.documentName = QStringLiteral("keep.dml");
    s.pictureLeft = s.pictureTop = s.pictureWidth = s.pictureHeight = QStringLiteral("kept");
    s.borderColour = 0x123456;
    return s;
}

QString pick(QRandomGenerator &random, const QStringList &from)
{
    return from.at(random.bounded(int(from.size())));
}

} // namespace

class tst_DmlReader : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Every document the writer makes reads back as the inputs it was made
    // from: the texts as typed, blanks included.
    void roundTrip()
    {
        QRandomGenerator random(20261207);
        const QStringList numbers{QStringLiteral("800"), QStringLiteral(" 600"), QStringLiteral("10.5 "),
                                  QStringLiteral("-5"), QStringLiteral("+1e3"), QStringLiteral("  0  ")};
        const QStringList names{QStringLiteral("a.gif"), QStringLiteral(u"封面.jpg"), QStringLiteral("it's & <ok>.jpg"),
                                QStringLiteral(" blank.GIF"), QStringLiteral(u"price€.jpg"), QStringLiteral("10.jpg")};
        for (int round = 0; round < 300; ++round) {
            BookSettings written;
            written.pictureFolder = QStringLiteral("/elsewhere/");
            written.bookWidth = pick(random, numbers);
            written.bookHeight = pick(random, numbers);
            written.pictureWidth = pick(random, numbers);
            written.pictureHeight = pick(random, numbers);
            written.pictureLeft = pick(random, numbers);
            written.pictureTop = pick(random, numbers);
            written.backgroundColour = random.generate() >> (random.bounded(2) * 8);
            written.border = BorderSwitch(random.bounded(3));
            written.borderColour = random.generate();
            const int pages = int(random.bounded(6));
            for (int i = 0; i < pages; ++i)
                written.pictures.append(pick(random, names)); // repeated pages too

            QBuffer document;
            QVERIFY(document.open(QIODevice::WriteOnly));
            QCOMPARE(writeDocument(document, written), std::nullopt);

            BookSettings read = sentinel();
            QCOMPARE(readDocument(document.data(), read), std::nullopt);
            QCOMPARE(read.pictures, written.pictures);
            QCOMPARE(read.bookWidth, written.bookWidth);
            QCOMPARE(read.bookHeight, written.bookHeight);
            const BookSettings untouched = sentinel();
            QCOMPARE(read.pictureWidth, pages ? written.pictureWidth : untouched.pictureWidth);
            QCOMPARE(read.pictureHeight, pages ? written.pictureHeight : untouched.pictureHeight);
            QCOMPARE(read.pictureLeft, pages ? written.pictureLeft : untouched.pictureLeft);
            QCOMPARE(read.pictureTop, pages ? written.pictureTop : untouched.pictureTop);
            QCOMPARE(read.backgroundColour, written.backgroundColour);
            QCOMPARE(read.borderOn(), written.borderOn());
            QCOMPARE(read.borderColour, written.borderOn() ? written.borderColour : untouched.borderColour);
            QCOMPARE(read.documentName, untouched.documentName);
            QCOMPARE(read.pictureFolder, untouched.pictureFolder);
        }
    }

    // The same book as the authoring application might save it again: LF
    // line breaks, attributes reordered and spread over lines, elements and
    // attributes of its own, a page whose picture is named by its image only.
    void savedAgain()
    {
        const QByteArray document =
            "<BOOKHEAD version=\"2.0.2\" editor=\"DeskTopAuthor\"/>\n"
            "<!-- <PAGE> in a comment is no page -->\n"
            "<PAGEFORMAT noborder = \"NO\"\n\tbordercolor='0ffh' pagenumber=\"3\" papercolor=\"0808080H\""
            " newsetting=\"1\"/>\n"
            "<DIMENSION height=\"600\"   width=\" 800\"/>\n"
            "<PAGE number=\"1\"><TEXT value=\"x\"/>\n"
            "<IMAGE width=\"780\" bitmapid=\"cover.jpg\" top=\"-1\" left=\"10\" height=\"580\"/>\n"
            "<BITMAP file=\"\xB7\xE2\xC3\xE6.jpg\" id=\"cover.jpg\"/>\n</PAGE>\n"
            "<PAGE number=\"2\"/>\n<IMAGE bitmapid=\"two.gif\" left=\"99\"/>\n</PAGE>\n"
            "<PAGE number=\"3\"/>\n</PAGE>\n";
        BookSettings read = sentinel();
        QCOMPARE(readDocument(document, read), std::nullopt);
        QCOMPARE(read.pictures, (QStringList{QStringLiteral(u"封面.jpg"), QStringLiteral("two.gif")}));
        QCOMPARE(read.bookWidth, QStringLiteral(" 800"));
        QCOMPARE(read.bookHeight, QStringLiteral("600"));
        QCOMPARE((QStringList{read.pictureLeft, read.pictureTop, read.pictureWidth, read.pictureHeight}),
                 (QStringList{QStringLiteral("10"), QStringLiteral("-1"), QStringLiteral("780"),
                              QStringLiteral("580")}));
        QCOMPARE(read.backgroundColour, ColourValue(0x808080));
        QCOMPARE(read.border, BorderSwitch::On);
        QCOMPARE(read.borderColour, ColourValue(0xFF));
    }

    void refused_data()
    {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<QString>("reason");
        const QByteArray head = "<PAGEFORMAT papercolor=\"0FFh\"/><DIMENSION width=\"1\" height=\"2\"/>";
        const QByteArray page = "<PAGE/><BITMAP file=\"a.gif\"/></PAGE>";
        QTest::newRow("empty") << QByteArray() << QStringLiteral(u"缺少PAGEFORMAT元素");
        QTest::newRow("a picture") << QByteArray("GIF89a\x01\x00\x01\x00", 10) << QStringLiteral(u"缺少PAGEFORMAT元素");
        QTest::newRow("no dimension") << QByteArray("<PAGEFORMAT/>" + page) << QStringLiteral(u"缺少DIMENSION元素");
        QTest::newRow("cut inside the head") << head.left(40) << QStringLiteral(u"缺少DIMENSION元素");
        QTest::newRow("colour in decimal") << QByteArray("<PAGEFORMAT papercolor=\"255\"/><DIMENSION/>")
                                           << QStringLiteral(u"无法识别的颜色：papercolor=\"255\"");
        QTest::newRow("colour past 32 bits") << QByteArray("<PAGEFORMAT bordercolor=\"0100000000h\"/><DIMENSION/>")
                                             << QStringLiteral(u"无法识别的颜色：bordercolor=\"0100000000h\"");
        QTest::newRow("byte GBK lacks") << QByteArray(head + "<PAGE/><BITMAP file=\"\xFF.gif\"/>")
                                        << QStringLiteral(u"含有GBK无法解码的字节");
        QTest::newRow("lead byte at the end") << QByteArray(head + page + "\xB7")
                                              << QStringLiteral(u"含有GBK无法解码的字节");
    }

    // A refused document changes nothing.
    void refused()
    {
        QFETCH(QByteArray, document);
        QFETCH(QString, reason);
        BookSettings read = sentinel();
        QCOMPARE(readDocument(document, read), reason);
        QCOMPARE(read, sentinel());
    }

    void fileLimits()
    {
        QTemporaryDir dir;
        BookSettings read = sentinel();
        QVERIFY(readDocumentFile(dir.filePath(QStringLiteral("none.dml")), read).has_value());
        // A sparse file past the limit is refused before it is read.
        QFile huge(dir.filePath(QStringLiteral("huge.dml")));
        QVERIFY(huge.open(QIODevice::WriteOnly));
        QVERIFY(huge.resize(kLargestDocument + 1));
        huge.close();
        QCOMPARE(readDocumentFile(huge.fileName(), read), QStringLiteral(u"文件大于64 MiB"));
        QCOMPARE(read, sentinel());
    }
};

QTEST_APPLESS_MAIN(tst_DmlReader)
#include "tst_dmlreader.moc"

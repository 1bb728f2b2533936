#include "book/bookcheck.h"
#include "book/bookmessages.h"
#include "book/booknotation.h"
#include "book/boxnumber.h"
#include "book/dmlwriter.h"
#include "book/gbktext.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace tarnwick;

Q_DECLARE_METATYPE(tarnwick::BoxNumber)
Q_DECLARE_METATYPE(tarnwick::BookField)

namespace {

BookSettings validSettings(const QString &folder = QStringLiteral("/tmp/"))
{
    BookSettings s;
    s.pictureFolder = folder;
    s.documentName = QStringLiteral("MyEBook.dml");
    s.bookWidth = QStringLiteral("800");
    s.bookHeight = QStringLiteral("600");
    s.pictureWidth = QStringLiteral("780");
    s.pictureHeight = QStringLiteral("580");
    s.pictureLeft = QStringLiteral("10");
    s.pictureTop = QStringLiteral("10");
    s.backgroundColour = 0xFFFFFF;
    s.border = BorderSwitch::Off;
    s.pictures = {QStringLiteral("a.gif")};
    return s;
}

// The complete document of one picture a.gif, book 800 x 600, picture 780 x 580
// at 10, 10, white background, no border, written out by hand.
const QByteArray aGifDocument =
    "\r\n"
    "<BOOKHEAD version=\"2.0.2\" editor=\"DeskTopAuthor\" editorversion=\"4.5.7\"/>\r\n\r\n"
    "<PAGEFORMAT pagenumber=\"1\" papercolor=\"0FFFFFFh\" maskcolor=\"0FF00h\" turnmode=\"FLY3\" "
    "withcart=\"NO\" lineheight=\"2\" maxlines=\"5\" flyspeed=\"FASTEST\" exheight=\"40\" "
    "showstate=\"WITHOUTMENU\" trackinterval=\"30\" withtrack=\"NO\" bordercolor=\"00h\" "
    "characterset=\"CHINESEGB2312\" unicode=\"NO\" withpassword=\"NO\" pagenumbertype=\"1\" "
    "backfilenumber=\"1\" disableprint=\"YES\" disableemail=\"YES\" autostart=\"NO\" "
    "pagetransitions=\"5,5,5,5,5,5,5,5,5,5\" pagetimeintervals=\"5,5,5,5,5,5,5,5,5,5\" "
    "withbackwindow=\"NO\" backwindowcolor=\"00h\" withbooktrans=\"NO\" booktransclr=\"0FF00h\" "
    "booktranspgn=\"0\" bookupid=\"1\" noborder=\"YES\" disablesaveas=\"YES\" bookdrmpagenum=\"3\" "
    "bookdrmmode=\"0\" boundopacity=\"80\" boundbackcolor=\"0808080h\" bookviewprotect=\"0\" "
    "bookeditimgprotect=\"2\" bookeimgdrmpgn=\"3\" bookeimgdrmitn=\"5\" minimumwmpver=\"6\"/>\r\n\r\n"
    "<DIMENSION width=\"800\" height=\"600\"/>\r\n\r\n"
    "<PAGE number=\"1\" withtransrgn=\"NO\" rgntranscolor=\"0FF00h\" withtransclr=\"NO\" "
    "transcolor=\"0FF00h\" backpgtype=\"PRENEXTPAGE\" backpgn=\"0\" pgnturntype=\"NO\" "
    "backlpgn=\"0\" backrpgn=\"0\" booksepa=\"NO\" hiderulerlines=\"NO\"/>\r\n\r\n\r\n"
    "<IMAGE bitmapid=\"a.gif\" left=\"10\" top=\"10\" width=\"780\" height=\"580\" zorder=\"1\" "
    "transparent=\"NO\" transparentcolor=\"00h\"/>\r\n"
    "<BITMAP id=\"a.gif\" file=\"a.gif\" width=\"10\" height=\"10\" quality=\"100\"/>\r\n\r\n"
    "</PAGE>\r\n";

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return file.readAll();
}

} // namespace

class TestBook : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void boxNumber_data();
    void boxNumber();
    void colourNotation_data();
    void colourNotation();
    void borderNotation();
    void colourArgument_data();
    void colourArgument();
    void checks_data();
    void checks();
    void presetFromFirstPicture_data();
    void presetFromFirstPicture();
    void documentBytes();
    void documentVariants();
    void pageNumbering();
    void gbkNames_data();
    void gbkNames();
    void firstUnwritable_data();
    void firstUnwritable();
    void unwritableNameNeverWritten();
    void saveReplacesAndKeepsOnFailure();
};

void TestBook::boxNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<BoxNumber>("expected");
    const auto num = [](int v) { return BoxNumber{BoxStatus::Number, qint16(v)}; };
    QTest::newRow("plain") << QStringLiteral("800") << num(800);
    QTest::newRow("blanks") << QStringLiteral("  800 ") << num(800);
    QTest::newRow("plus") << QStringLiteral("+12") << num(12);
    QTest::newRow("minus") << QStringLiteral("-5") << num(-5);
    QTest::newRow("half down to even") << QStringLiteral("10.5") << num(10);
    QTest::newRow("half up to even") << QStringLiteral("11.5") << num(12);
    QTest::newRow("9.5") << QStringLiteral("9.5") << num(10);
    QTest::newRow("-2.5") << QStringLiteral("-2.5") << num(-2);
    QTest::newRow("2000.5") << QStringLiteral("2000.5") << num(2000);
    QTest::newRow("exponent") << QStringLiteral("1.5e2") << num(150);
    QTest::newRow("exponent sign") << QStringLiteral("25E-1") << num(2);
    QTest::newRow("leading dot") << QStringLiteral(".7") << num(1);
    QTest::newRow("trailing dot") << QStringLiteral("7.") << num(7);
    QTest::newRow("min") << QStringLiteral("-32768") << num(-32768);
    QTest::newRow("max") << QStringLiteral("32767") << num(32767);
    QTest::newRow("max rounds down") << QStringLiteral("32767.4") << num(32767);
    QTest::newRow("empty") << QString() << BoxNumber{BoxStatus::Empty, 0};
    QTest::newRow("blanks only") << QStringLiteral("   ") << BoxNumber{BoxStatus::Empty, 0};
    const BoxNumber bad{BoxStatus::NotNumeric, 0};
    QTest::newRow("letters") << QStringLiteral("abc") << bad;
    QTest::newRow("inner blank") << QStringLiteral("8 00") << bad;
    QTest::newRow("sign only") << QStringLiteral("-") << bad;
    QTest::newRow("dot only") << QStringLiteral(".") << bad;
    QTest::newRow("bare exponent") << QStringLiteral("1e") << bad;
    QTest::newRow("hex") << QStringLiteral("0x10") << bad;
    QTest::newRow("comma") << QStringLiteral("1,5") << bad;
    QTest::newRow("two signs") << QStringLiteral("+-1") << bad;
    QTest::newRow("inf") << QStringLiteral("inf") << bad;
    // Only spaces are trimmed: a tab or line break would go into the document
    // inside the attribute's quotes.
    QTest::newRow("tab before") << QStringLiteral("\t800") << bad;
    QTest::newRow("line feed before") << QStringLiteral("\n800") << bad;
    QTest::newRow("carriage return after") << QStringLiteral("600\r") << bad;
    QTest::newRow("no-break space") << QStringLiteral(u"\u00a0800") << bad;
    QTest::newRow("fullwidth digits") << QStringLiteral(u"８００") << bad;
    const BoxNumber out{BoxStatus::OutOfRange, 0};
    QTest::newRow("above") << QStringLiteral("32768") << out;
    QTest::newRow("below") << QStringLiteral("-32769") << out;
    QTest::newRow("rounds above") << QStringLiteral("32767.5") << out;
    QTest::newRow("40000") << QStringLiteral("40000") << out;
    QTest::newRow("huge exponent") << QStringLiteral("1e400") << out;
    QTest::newRow("many digits") << QStringLiteral("99999999999999999999999") << out;
}

void TestBook::boxNumber()
{
    QFETCH(QString, text);
    QFETCH(BoxNumber, expected);
    const BoxNumber actual = readBoxNumber(text);
    QCOMPARE(int(actual.status), int(expected.status));
    QCOMPARE(actual.value, expected.value);
}

void TestBook::colourNotation_data()
{
    QTest::addColumn<uint>("value");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("black") << 0u << QByteArray("00h");
    QTest::newRow("red") << 0xFFu << QByteArray("0FFh");
    QTest::newRow("green") << 0xFF00u << QByteArray("0FF00h");
    QTest::newRow("blue") << 0xFF0000u << QByteArray("0FF0000h");
    QTest::newRow("grey") << 0x808080u << QByteArray("0808080h");
    QTest::newRow("white") << 0xFFFFFFu << QByteArray("0FFFFFFh");
    QTest::newRow("system colour") << 0x8000000Fu << QByteArray("08000000Fh");
    QTest::newRow("small") << 0xAu << QByteArray("0Ah");
}

void TestBook::colourNotation()
{
    QFETCH(uint, value);
    QFETCH(QByteArray, text);
    QCOMPARE(tarnwick::colourNotation(value), text);
}

void TestBook::borderNotation()
{
    QCOMPARE(noBorderNotation(true), QByteArray("NO"));
    QCOMPARE(noBorderNotation(false), QByteArray("YES"));
    QCOMPARE(borderColourNotation(true, 0xFF), QByteArray("0FFh"));
    QCOMPARE(borderColourNotation(false, 0xFF), QByteArray("00h"));
}

void TestBook::colourArgument_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<uint>("value");
    QTest::newRow("decimal red") << QStringLiteral("255") << true << 0xFFu;
    QTest::newRow("decimal white") << QStringLiteral("16777215") << true << 0xFFFFFFu;
    QTest::newRow("negative") << QStringLiteral("-2147483633") << true << 0x8000000Fu;
    QTest::newRow("hash red") << QStringLiteral("#FF0000") << true << 0xFFu;
    QTest::newRow("hash blue") << QStringLiteral("#0000ff") << true << 0xFF0000u;
    QTest::newRow("hash mixed") << QStringLiteral("#123456") << true << 0x563412u;
    QTest::newRow("hash short") << QStringLiteral("#FFF") << false << 0u;
    QTest::newRow("hash bad") << QStringLiteral("#GG0000") << false << 0u;
    QTest::newRow("hash sign") << QStringLiteral("#+12345") << false << 0u;
    QTest::newRow("word") << QStringLiteral("red") << false << 0u;
    QTest::newRow("too big") << QStringLiteral("4294967295") << false << 0u;
}

void TestBook::colourArgument()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(uint, value);
    const std::optional<ColourValue> parsed = parseColourArgument(text);
    QCOMPARE(parsed.has_value(), valid);
    if (valid)
        QCOMPARE(*parsed, ColourValue(value));
}

void TestBook::checks_data()
{
    QTest::addColumn<BookSettings>("settings");
    QTest::addColumn<QString>("message");
    QTest::addColumn<BookField>("field");

    const auto with = [](auto change) {
        BookSettings s = validSettings();
        change(s);
        return s;
    };
    QTest::newRow("valid") << validSettings() << QString() << BookField::PictureList;
    QTest::newRow("empty list beats everything") << with([](BookSettings &s) {
        s.pictures.clear();
        s.bookWidth.clear();
        s.pictureFolder.clear();
        s.documentName.clear();
    }) << messages::emptyList() << BookField::PictureList;
    QTest::newRow("boxes in index order") << with([](BookSettings &s) {
        s.bookWidth = QStringLiteral(" ");
        s.pictureWidth = QStringLiteral("abc");
    }) << messages::mustNotBeEmpty() << BookField::BookWidth;
    QTest::newRow("height not numeric") << with([](BookSettings &s) {
        s.bookHeight = QStringLiteral("6x");
        s.pictureWidth.clear();
    }) << messages::enterNumber() << BookField::BookHeight;
    QTest::newRow("size 9") << with([](BookSettings &s) { s.bookWidth = QStringLiteral("9"); })
                            << messages::badBookSize() << BookField::BookWidth;
    QTest::newRow("size 2001 picture") << with([](BookSettings &s) {
        s.pictureHeight = QStringLiteral("2001");
    }) << messages::badBookSize() << BookField::PictureHeight;
    QTest::newRow("size beyond 16 bits") << with([](BookSettings &s) {
        s.pictureWidth = QStringLiteral("40000");
    }) << messages::badBookSize() << BookField::PictureWidth;
    QTest::newRow("sizes 10 and 2000 pass") << with([](BookSettings &s) {
        s.bookWidth = QStringLiteral("2000");
        s.pictureWidth = QStringLiteral("10");
        s.pictureHeight = QStringLiteral("10");
    }) << QString() << BookField::PictureList;
    QTest::newRow("half sizes pass") << with([](BookSettings &s) {
        s.bookWidth = QStringLiteral("2000.5");
        s.pictureWidth = QStringLiteral("9.5");
        s.pictureHeight = QStringLiteral("10.5");
    }) << QString() << BookField::PictureList;
    QTest::newRow("picture wider") << with([](BookSettings &s) {
        s.pictureWidth = QStringLiteral("801");
        s.pictureHeight = QStringLiteral("601");
    }) << messages::pictureTooWide() << BookField::PictureWidth;
    QTest::newRow("picture taller") << with([](BookSettings &s) {
        s.pictureHeight = QStringLiteral("601");
        s.pictureLeft = QStringLiteral("x");
    }) << messages::pictureTooTall() << BookField::PictureHeight;
    QTest::newRow("full width offset 0") << with([](BookSettings &s) {
        s.pictureWidth = QStringLiteral("800");
        s.pictureLeft = QStringLiteral("0");
    }) << QString() << BookField::PictureList;
    QTest::newRow("full width offset 1") << with([](BookSettings &s) {
        s.pictureWidth = QStringLiteral("800");
        s.pictureLeft = QStringLiteral("1");
    }) << messages::leftTooLarge() << BookField::PictureLeft;
    QTest::newRow("left empty before its sum") << with([](BookSettings &s) {
        s.pictureLeft = QStringLiteral("  ");
        s.pictureTop = QStringLiteral("x");
    }) << messages::mustNotBeEmpty() << BookField::PictureLeft;
    QTest::newRow("left not numeric") << with([](BookSettings &s) {
        s.pictureLeft = QStringLiteral("1a");
    }) << messages::enterNumber() << BookField::PictureLeft;
    QTest::newRow("left beyond 16 bits") << with([](BookSettings &s) {
        s.pictureLeft = QStringLiteral("-40000");
    }) << messages::badOffset() << BookField::PictureLeft;
    QTest::newRow("left max does not overflow") << with([](BookSettings &s) {
        s.pictureLeft = QStringLiteral("32767");
    }) << messages::leftTooLarge() << BookField::PictureLeft;
    QTest::newRow("left sum before top checks") << with([](BookSettings &s) {
        s.pictureLeft = QStringLiteral("21");
        s.pictureTop.clear();
    }) << messages::leftTooLarge() << BookField::PictureLeft;
    QTest::newRow("negative offsets pass") << with([](BookSettings &s) {
        s.pictureLeft = QStringLiteral("-32768");
        s.pictureTop = QStringLiteral("-5");
    }) << QString() << BookField::PictureList;
    QTest::newRow("top empty") << with([](BookSettings &s) { s.pictureTop.clear(); })
                               << messages::mustNotBeEmpty() << BookField::PictureTop;
    QTest::newRow("top not numeric") << with([](BookSettings &s) { s.pictureTop = QStringLiteral("--1"); })
                                     << messages::enterNumber() << BookField::PictureTop;
    QTest::newRow("top beyond 16 bits") << with([](BookSettings &s) { s.pictureTop = QStringLiteral("32768"); })
                                        << messages::badOffset() << BookField::PictureTop;
    QTest::newRow("top 100 passes") << with([](BookSettings &s) {
        s.pictureWidth = QStringLiteral("800");
        s.pictureLeft = QStringLiteral("0");
        s.pictureHeight = QStringLiteral("500");
        s.pictureTop = QStringLiteral("100");
    }) << QString() << BookField::PictureList;
    QTest::newRow("top 101") << with([](BookSettings &s) {
        s.pictureHeight = QStringLiteral("500");
        s.pictureTop = QStringLiteral("101");
    }) << messages::topTooLarge() << BookField::PictureTop;
    QTest::newRow("unwritable blank around a size") << with([](BookSettings &s) {
        s.bookHeight = QStringLiteral(u"\u00A0600");
    }) << messages::enterNumber() << BookField::BookHeight;
    QTest::newRow("ideographic blank is no space") << with([](BookSettings &s) {
        s.pictureTop = QStringLiteral(u"\u300010");
    }) << messages::enterNumber() << BookField::PictureTop;
    QTest::newRow("tab around a size") << with([](BookSettings &s) {
        s.bookWidth = QStringLiteral("\t800");
    }) << messages::enterNumber() << BookField::BookWidth;
    QTest::newRow("unwritable blank around top") << with([](BookSettings &s) {
        s.pictureTop = QStringLiteral(u"10\u2003");
    }) << messages::enterNumber() << BookField::PictureTop;
    QTest::newRow("no folder") << with([](BookSettings &s) {
        s.pictureFolder.clear();
        s.documentName.clear();
    }) << messages::noFolder() << BookField::Folder;
    QTest::newRow("name empty") << with([](BookSettings &s) {
        s.documentName = QStringLiteral("  ");
        s.pictures = {QStringLiteral("a\"b.gif")};
    }) << messages::mustNotBeEmpty() << BookField::DocumentName;
    QTest::newRow("name slash") << with([](BookSettings &s) { s.documentName = QStringLiteral("a/b.dml"); })
                                << messages::badFileName() << BookField::DocumentName;
    QTest::newRow("name backslash") << with([](BookSettings &s) { s.documentName = QStringLiteral("a\\b.dml"); })
                                    << messages::badFileName() << BookField::DocumentName;
    QTest::newRow("name dot") << with([](BookSettings &s) { s.documentName = QStringLiteral("."); })
                              << messages::badFileName() << BookField::DocumentName;
    QTest::newRow("name dotdot") << with([](BookSettings &s) { s.documentName = QStringLiteral(".."); })
                                 << messages::badFileName() << BookField::DocumentName;
    QTest::newRow("name ...dml is fine") << with([](BookSettings &s) { s.documentName = QStringLiteral("..dml"); })
                                         << QString() << BookField::PictureList;
    QTest::newRow("picture emoji") << with([](BookSettings &s) {
        s.pictures = {QStringLiteral("ok.gif"), QStringLiteral(u"\U0001F600.gif"), QStringLiteral("x\".gif")};
    }) << messages::unwritablePictureName() + QStringLiteral(u"\U0001F600.gif") << BookField::PictureName;
    QTest::newRow("picture newline") << with([](BookSettings &s) { s.pictures = {QStringLiteral("a\nb.gif")}; })
                                     << messages::unwritablePictureName() + QStringLiteral("a\nb.gif")
                                     << BookField::PictureName;
}

// The preset of a listed folder: within the limits the picture's own size,
// beyond them the largest size with its proportions that the check accepts.
void TestBook::presetFromFirstPicture_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QSize>("book");
    QTest::newRow("800x600 as it is") << QSize(800, 600) << QSize(800, 600);
    QTest::newRow("2000x2000 as it is") << QSize(2000, 2000) << QSize(2000, 2000);
    QTest::newRow("2000x1 as it is") << QSize(2000, 1) << QSize(2000, 1);
    QTest::newRow("5x5 as it is") << QSize(5, 5) << QSize(5, 5);
    QTest::newRow("2001x2000") << QSize(2001, 2000) << QSize(2000, 1999);
    QTest::newRow("2000x2001") << QSize(2000, 2001) << QSize(1999, 2000);
    QTest::newRow("4000x3000") << QSize(4000, 3000) << QSize(2000, 1500);
    QTest::newRow("3000x4000") << QSize(3000, 4000) << QSize(1500, 2000);
    QTest::newRow("6000x4000") << QSize(6000, 4000) << QSize(2000, 1333);
    QTest::newRow("4000x1001, a half up") << QSize(4000, 1001) << QSize(2000, 501);
    QTest::newRow("4000x999, a half up too") << QSize(4000, 999) << QSize(2000, 500);
    QTest::newRow("2001x1 at least 10") << QSize(2001, 1) << QSize(2000, 10);
    QTest::newRow("65500x65500") << QSize(65500, 65500) << QSize(2000, 2000);
    QTest::newRow("65500x13") << QSize(65500, 13) << QSize(2000, 10);
}

void TestBook::presetFromFirstPicture()
{
    QFETCH(QSize, picture);
    QFETCH(QSize, book);
    BookSettings settings = validSettings();
    settings.presetFromFirstPicture(picture);
    QCOMPARE(settings.bookWidth, QString::number(book.width()));
    QCOMPARE(settings.bookHeight, QString::number(book.height()));
    QCOMPARE(settings.pictureWidth, settings.bookWidth);
    QCOMPARE(settings.pictureHeight, settings.bookHeight);
    // What the preset proposes for a large picture, the check accepts.
    if (picture.width() > 2000 || picture.height() > 2000) {
        settings.pictureLeft = settings.pictureTop = QStringLiteral("0");
        const std::optional<CheckFailure> failure = checkBook(settings);
        QVERIFY2(!failure, qPrintable(failure ? failure->message : QString()));
    }
}

void TestBook::checks()
{
    QFETCH(BookSettings, settings);
    QFETCH(QString, message);
    QFETCH(BookField, field);
    const std::optional<CheckFailure> failure = checkBook(settings);
    if (message.isEmpty()) {
        QVERIFY2(!failure, qPrintable(failure ? failure->message : QString()));
        return;
    }
    QVERIFY(failure);
    QCOMPARE(failure->message, message);
    QCOMPARE(failure->field, field);
}

void TestBook::documentBytes()
{
    const BookSettings s = validSettings();
    QBuffer buffer;
    QVERIFY(buffer.open(QIODevice::WriteOnly));
    QVERIFY(!writeDocument(buffer, s));
    QCOMPARE(buffer.data(), aGifDocument);
    QCOMPARE(headSegment(s) + pageSegment(s, 0).value(), aGifDocument);
}

void TestBook::documentVariants()
{
    BookSettings s = validSettings();
    s.bookWidth = QStringLiteral(" 800");
    s.pictureLeft = QStringLiteral("-5 ");
    s.border = BorderSwitch::On;
    s.borderColour = 0xFF;
    s.backgroundColour = 0;
    s.pictures = {QStringLiteral(u"封面&.jpg")};
    const QByteArray head = headSegment(s);
    QVERIFY(head.startsWith("\r\n<BOOKHEAD "));
    QVERIFY(head.contains("<DIMENSION width=\" 800\" height=\"600\"/>\r\n\r\n"));
    QVERIFY(head.contains(" papercolor=\"00h\" "));
    QVERIFY(head.contains(" bordercolor=\"0FFh\" "));
    QVERIFY(head.contains(" noborder=\"NO\" "));
    const QByteArray page = pageSegment(s, 0).value();
    const QByteArray gbkName("\xB7\xE2\xC3\xE6&.jpg");
    QVERIFY(page.contains("<IMAGE bitmapid=\"" + gbkName + "\" left=\"-5 \" top=\"10\""));
    QVERIFY(page.contains("<BITMAP id=\"" + gbkName + "\" file=\"" + gbkName + "\" width=\"10\""));
}

void TestBook::pageNumbering()
{
    BookSettings s = validSettings();
    s.pictures = {QStringLiteral("c.gif"), QStringLiteral("a.gif"), QStringLiteral("b.jpg")};
    QBuffer buffer;
    QVERIFY(buffer.open(QIODevice::WriteOnly));
    QVERIFY(!writeDocument(buffer, s));
    const QByteArray doc = buffer.data();
    QVERIFY(doc.contains("pagenumber=\"3\""));
    qsizetype at = headSegment(s).size();
    for (int i = 0; i < 3; ++i) {
        const QByteArray page = pageSegment(s, i).value();
        QCOMPARE(doc.mid(at, page.size()), page);
        QVERIFY(page.startsWith("<PAGE number=\"" + QByteArray::number(i + 1) + "\" "));
        QVERIFY(page.contains("bitmapid=\"" + s.pictures.at(i).toLatin1() + "\""));
        at += page.size();
    }
    QCOMPARE(at, doc.size());
    QVERIFY(doc.endsWith("</PAGE>\r\n"));
}

void TestBook::gbkNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("writable");
    QTest::newRow("ascii") << QStringLiteral("a b&<>.gif") << QByteArray("a b&<>.gif") << true;
    QTest::newRow("chinese") << QStringLiteral(u"中文.gif") << QByteArray("\xD6\xD0\xCE\xC4.gif") << true;
    QTest::newRow("euro") << QStringLiteral(u"€.gif") << QByteArray("\x80.gif") << true;
    QTest::newRow("emoji") << QStringLiteral(u"\U0001F600.gif") << QByteArray() << false;
    QTest::newRow("hangul") << QStringLiteral(u"한.gif") << QByteArray() << false;
    QTest::newRow("nbsp") << QStringLiteral(u"a\u00A0.gif") << QByteArray() << false;
    QTest::newRow("lone surrogate end") << (QStringLiteral("a.gif") + QChar(0xD800)) << QByteArray() << false;
    QTest::newRow("lone surrogate inside") << (QStringLiteral("a") + QChar(0xDC00) + QStringLiteral(".gif"))
                                           << QByteArray() << false;
    QTest::newRow("quote") << QStringLiteral("a\".gif") << QByteArray() << false;
    QTest::newRow("cr") << QStringLiteral("a\r.gif") << QByteArray() << false;
    QTest::newRow("tab") << QStringLiteral("a\t.gif") << QByteArray() << false;
    QTest::newRow("del") << QStringLiteral("a\x7f.gif") << QByteArray() << false;
    QTest::newRow("c1 control") << (QStringLiteral("a") + QChar(0x85) + QStringLiteral(".gif")) << QByteArray()
                                << false;
}

void TestBook::gbkNames()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, writable);
    const std::optional<QByteArray> encoded = encodePictureName(name);
    QCOMPARE(encoded.has_value(), writable);
    if (writable)
        QCOMPARE(*encoded, bytes);
}

void TestBook::firstUnwritable_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<int>("index");
    const QString ok = QStringLiteral(u"好.gif");
    const QString hangul = QStringLiteral(u"한.gif");
    QTest::newRow("all fine") << QStringList{ok, QStringLiteral("b.gif")} << -1;
    QTest::newRow("none") << QStringList{} << -1;
    // The encoder's sticky flag must not blame a later name, nor miss one after
    // a name it refused for another reason.
    QTest::newRow("second of two bad") << QStringList{ok, ok, hangul, ok, QStringLiteral("\"")} << 2;
    QTest::newRow("quote first") << QStringList{ok, QStringLiteral("a\".gif"), hangul} << 1;
    QTest::newRow("trailing lone surrogate") << QStringList{ok, QStringLiteral("x") + QChar(0xD83D), ok} << 1;
    QTest::newRow("last") << QStringList{ok, ok, QStringLiteral(u"\u00A0")} << 2;
}

// The check and the writer refuse the same first name, and the writer never
// lets a name through as "?".
void TestBook::firstUnwritable()
{
    QFETCH(QStringList, names);
    QFETCH(int, index);
    QCOMPARE(firstUnwritablePictureName(names), qsizetype(index));
    BookSettings s = validSettings();
    s.pictures = names;
    QBuffer buffer;
    QVERIFY(buffer.open(QIODevice::WriteOnly));
    const std::optional<QString> refused = writeDocument(buffer, s);
    if (index < 0) {
        QVERIFY(!refused);
        QCOMPARE(buffer.data().count("<PAGE "), names.size());
        QVERIFY(!buffer.data().contains('?'));
        return;
    }
    QCOMPARE(refused, messages::unwritablePictureName() + names.at(index));
    QCOMPARE(buffer.data().count("<PAGE "), index);
}

void TestBook::unwritableNameNeverWritten()
{
    // A caller that skips the checks still never gets "?" into a document.
    const QStringList names = {QStringLiteral(u"한.gif"), QStringLiteral("a.gif") + QChar(0xD800),
                               QStringLiteral("a\".gif")};
    for (const QString &name : names) {
        BookSettings s = validSettings();
        s.pictures = {QStringLiteral("ok.gif"), name};
        QBuffer buffer;
        QVERIFY(buffer.open(QIODevice::WriteOnly));
        const std::optional<QString> reason = writeDocument(buffer, s);
        QVERIFY(reason);
        QVERIFY(reason->endsWith(name));
        QVERIFY(!pageSegment(s, 1));
    }
    BookSettings s = validSettings();
    s.pictureLeft = QStringLiteral(u"\u00A010");
    QBuffer buffer;
    QVERIFY(buffer.open(QIODevice::WriteOnly));
    QVERIFY(writeDocument(buffer, s));
    QVERIFY(buffer.data().isEmpty());
}

void TestBook::saveReplacesAndKeepsOnFailure()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    BookSettings s = validSettings(dir.path() + u'/');
    const QString path = s.outputPath();
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("older document");
    }
    QVERIFY(!saveDocument(s));
    QCOMPARE(readAll(path), aGifDocument);
    // A second run with the same inputs gives identical bytes.
    QVERIFY(!saveDocument(s));
    QCOMPARE(readAll(path), aGifDocument);

    // A name that cannot be written fails the save and keeps the older bytes.
    s.pictures.append(QStringLiteral(u"한.gif"));
    const std::optional<QString> failure = saveDocument(s);
    QVERIFY(failure);
    QVERIFY(failure->startsWith(messages::cannotWrite() + path + u'\n'));
    QCOMPARE(readAll(path), aGifDocument);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("MyEBook.dml")});

    // A folder that does not exist: the reason comes from the system.
    s = validSettings(dir.path() + QStringLiteral("/missing/"));
    const std::optional<QString> missing = saveDocument(s);
    QVERIFY(missing);
    QVERIFY(missing->startsWith(messages::cannotWrite() + s.outputPath() + u'\n'));
    QVERIFY(missing->size() > messages::cannotWrite().size() + s.outputPath().size() + 1);
}

QTEST_APPLESS_MAIN(TestBook)
#include "tst_book.moc"

#include "app/colourswatch.h"
#include "app/storedsettings.h"
#include "book/bookmessages.h"
#include "mainwindowfixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListView>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>
#include <sys/resource.h>

using namespace tarnwick;

namespace {

using Inputs = QList<std::pair<QString, QString>>;

const QString doneQuestion = QStringLiteral(u"dml文件生成完毕！现在需要用DeskTop Author将它打开吗？");

std::pair<QString, QString> box(const char *name, const char *text)
{
    return {QString::fromLatin1(name), QString::fromLatin1(text)};
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

// The generate command driven through the real window: the folder comes from
// a browse over a real temporary folder, every dialog from the scripted
// platform.
class tst_Generate : public QObject, protected MainWindowFixture
{
    Q_OBJECT

public:
    tst_Generate() : MainWindowFixture(QStringLiteral("config/Vellicor.ini")) {}

private:
    QString m_pictures;   // the picture folder, ending in "/"

    QString documentPath(const QString &name = QStringLiteral("MyEBook.dml")) const
    {
        return m_pictures + name;
    }

    void set(const Inputs &inputs)
    {
        for (const auto &[name, text] : inputs)
            control<QLineEdit>(name)->setText(text);
    }

    void generate() { click(QStringLiteral("Command2")); }

private Q_SLOTS:
    void initTestCase() { QVERIFY(startApplication()); }

    void init()
    {
        QVERIFY(resetFixture());
        m_pictures = subfolder(QStringLiteral("pics")) + u'/';
        QVERIFY(writePicture(m_pictures + QStringLiteral("b.jpg"), 640, 480));
        QVERIFY(writePicture(m_pictures + QStringLiteral("a.jpg"), 800, 600));
        QVERIFY(writePicture(m_pictures + QStringLiteral(u"封面.JPG"), 20, 20));
    }

    void cleanup() { m_window.reset(); }

    void checkFailures_data()
    {
        QTest::addColumn<bool>("browsed");
        QTest::addColumn<bool>("cancelledAfter");
        QTest::addColumn<Inputs>("inputs");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");

        const QString empty = QStringLiteral(u"此处不能为空！");
        const QString notNumber = QStringLiteral(u"请输入数字！");
        const QString badSize = QStringLiteral(u"E书尺寸无效！");

        QTest::newRow("empty list beats everything")
            << false << false
            << Inputs{box("Text3(0)", ""), box("Text3(2)", "x"), box("Text2", ""), box("Text8", "q")}
            << QStringLiteral(u"图片列表为空，请选择图片所在目录！") << "Command1";
        QTest::newRow("cancelled browse after a scan")
            << true << true << Inputs{} << QStringLiteral(u"请选择图片所在目录！") << "Command1";
        QTest::newRow("sizes before the folder")
            << true << true << Inputs{box("Text3(0)", "")} << empty << "Text3(0)";
        QTest::newRow("folder before the document name")
            << true << true << Inputs{box("Text2", "")} << QStringLiteral(u"请选择图片所在目录！")
            << "Command1";
        QTest::newRow("boxes in index order") << true << false
                                              << Inputs{box("Text3(0)", "  "), box("Text3(2)", "abc")}
                                              << empty << "Text3(0)";
        QTest::newRow("each box fully before the next")
            << true << false << Inputs{box("Text3(1)", "abc"), box("Text3(2)", "")} << notNumber
            << "Text3(1)";
        QTest::newRow("book width 9") << true << false << Inputs{box("Text3(0)", "9")} << badSize
                                      << "Text3(0)";
        QTest::newRow("picture height 2001") << true << false << Inputs{box("Text3(3)", "2001")}
                                             << badSize << "Text3(3)";
        QTest::newRow("beyond 16 bits") << true << false << Inputs{box("Text3(2)", "40000")} << badSize
                                        << "Text3(2)";
        QTest::newRow("picture wider")
            << true << false << Inputs{box("Text3(0)", "800"), box("Text3(2)", "801")}
            << QStringLiteral(u"图片的宽度不能超过E书的宽度！") << "Text3(2)";
        QTest::newRow("picture taller")
            << true << false
            << Inputs{box("Text3(1)", "600"), box("Text3(3)", "601")}
            << QStringLiteral(u"图片的高度不能超过E书的高度！") << "Text3(3)";
        QTest::newRow("left offset 1 at full width")
            << true << false << Inputs{box("Text3(0)", "800"), box("Text3(2)", "800"), box("Text8", "1")}
            << QStringLiteral(u"图片的左边据过大！") << "Text8";
        QTest::newRow("top offset 101")
            << true << false
            << Inputs{box("Text3(0)", "800"), box("Text3(1)", "600"), box("Text3(2)", "800"),
                      box("Text3(3)", "500"), box("Text7", "101")}
            << QStringLiteral(u"图片的上边据过大！") << "Text7";
        QTest::newRow("empty left offset") << true << false << Inputs{box("Text8", " ")} << empty
                                           << "Text8";
        QTest::newRow("letters as top offset") << true << false << Inputs{box("Text7", "ten")}
                                               << notNumber << "Text7";
        QTest::newRow("empty document name") << true << false << Inputs{box("Text2", "   ")} << empty
                                             << "Text2";
        QTest::newRow("document name with a folder")
            << true << false << Inputs{box("Text2", "../x.dml")} << QStringLiteral(u"文件名无效！")
            << "Text2";
        QTest::newRow("document name of a picture") << true << false << Inputs{box("Text2", "A.JPG")}
                                                    << messages::nameIsPicture() << "Text2";
        QTest::newRow("document name of any JPEG") << true << false << Inputs{box("Text2", "new.jpeg")}
                                                   << messages::nameIsPicture() << "Text2";
    }

    void checkFailures()
    {
        QFETCH(bool, browsed);
        QFETCH(bool, cancelledAfter);
        QFETCH(Inputs, inputs);
        QFETCH(QString, message);
        QFETCH(QString, focus);

        // An older document must survive any failed check.
        QFile older(documentPath());
        QVERIFY(older.open(QIODevice::WriteOnly));
        older.write("older");
        older.close();

        open();
        if (browsed)
            browse(m_pictures);
        if (cancelledAfter)
            browse(QString());
        set(inputs);
        control(QStringLiteral("List1"))->setFocus();
        generate();

        QCOMPARE(m_platform.warnings, QStringList{message});
        QCOMPARE(focused(), focus);
        QVERIFY(m_platform.questions.isEmpty());
        QCOMPARE(readAll(documentPath()), QByteArray("older"));
        QVERIFY(!QFile::exists(iniPath()));
    }

    void equalityPasses_data()
    {
        QTest::addColumn<Inputs>("inputs");
        QTest::newRow("smallest and largest sizes")
            << Inputs{box("Text3(0)", "2000"), box("Text3(1)", "10"), box("Text3(2)", "10"), box("Text3(3)", "10")};
        QTest::newRow("picture as wide as the book, left 0")
            << Inputs{box("Text3(0)", "800"), box("Text3(2)", "800"), box("Text8", "0")};
        QTest::newRow("top offset fills the page")
            << Inputs{box("Text3(0)", "800"), box("Text3(1)", "600"), box("Text3(2)", "800"),
                      box("Text3(3)", "500"), box("Text7", "100")};
        QTest::newRow("negative offsets") << Inputs{box("Text8", "-50"), box("Text7", "-1")};
        QTest::newRow("halves to even") << Inputs{box("Text3(0)", "2000.5"), box("Text3(2)", "9.5")};
    }

    void equalityPasses()
    {
        QFETCH(Inputs, inputs);
        open();
        browse(m_pictures);
        set(inputs);
        generate();
        QCOMPARE(m_platform.warnings, QStringList());
        QCOMPARE(m_platform.questions, QStringList{doneQuestion});
        const QByteArray document = readAll(documentPath());
        QVERIFY(document.startsWith("\r\n<BOOKHEAD"));
        // Each box's text lands in its own attribute: the page size in
        // DIMENSION, the picture's size and place in the first IMAGE.
        const auto element = [&document](const QByteArray &tag) {
            const qsizetype start = document.indexOf("<" + tag + " ");
            return start < 0 ? QByteArray() : document.mid(start, document.indexOf("/>", start) - start);
        };
        const QHash<QString, QByteArray> attribute{
            {QStringLiteral("Text3(0)"), "DIMENSION width"}, {QStringLiteral("Text3(1)"), "DIMENSION height"},
            {QStringLiteral("Text3(2)"), "IMAGE width"},     {QStringLiteral("Text3(3)"), "IMAGE height"},
            {QStringLiteral("Text8"), "IMAGE left"},         {QStringLiteral("Text7"), "IMAGE top"}};
        for (const auto &[name, text] : inputs) {
            const QList<QByteArray> where = attribute.value(name).split(' ');
            QVERIFY2(element(where[0]).contains(" " + where[1] + "=\"" + text.toLatin1() + "\""), qPrintable(name));
        }
    }

    // One writer serves the window and tarnwick-make: the same inputs give
    // the same bytes.
    void sameBytesAsTarnwickMake()
    {
#ifndef TARNWICK_MAKE_PATH
        QSKIP("tarnwick-make is not built");
#else
        open();
        browse(m_pictures);
        // The user's order, not the name order: the last entry moved to the top.
        auto *list = control<QListView>(QStringLiteral("List1"));
        const auto entries = [list] {
            QStringList names;
            for (int row = 0; row < list->model()->rowCount(); ++row)
                names.append(list->model()->index(row, 0).data().toString());
            return names;
        };
        const QStringList scanned = entries();
        QCOMPARE(scanned.size(), 3);
        list->selectionModel()->select(list->model()->index(2, 0), QItemSelectionModel::Select);
        click(QStringLiteral("Label11"));
        const QStringList order = entries();
        QCOMPARE(order, (QStringList{scanned[2], scanned[0], scanned[1]}));
        set({{QStringLiteral("Text2"), QStringLiteral(u" 我的书.dml ")},
             {QStringLiteral("Text3(0)"), QStringLiteral(" 900")},
             {QStringLiteral("Text3(1)"), QStringLiteral("700 ")},
             {QStringLiteral("Text3(2)"), QStringLiteral("880")},
             {QStringLiteral("Text3(3)"), QStringLiteral("680")},
             {QStringLiteral("Text8"), QStringLiteral("10")},
             {QStringLiteral("Text7"), QStringLiteral(" 20")}});
        control<ColourSwatch>(QStringLiteral("Label5"))->setColour(0x123456);
        control<ColourSwatch>(QStringLiteral("Label8"))->setColour(0xFF);
        control<QCheckBox>(QStringLiteral("Check1"))->setChecked(true);
        generate();
        QCOMPARE(m_platform.warnings, QStringList());
        const QString path = documentPath(QStringLiteral(u"我的书.dml"));
        const QByteArray fromWindow = readAll(path);
        QVERIFY(!fromWindow.isEmpty());
        QVERIFY(QFile::remove(path));

        const QString pages = m_dir->filePath(QStringLiteral("pages.txt"));
        QFile pagesFile(pages);
        QVERIFY(pagesFile.open(QIODevice::WriteOnly));
        pagesFile.write(order.join(u'\n').toUtf8() + '\n');
        pagesFile.close();
        QProcess make;
        make.start(QStringLiteral(TARNWICK_MAKE_PATH),
                   {QStringLiteral("--name"), QStringLiteral(u"我的书.dml"),
                    QStringLiteral("--book-width"), QStringLiteral(" 900"),
                    QStringLiteral("--book-height"), QStringLiteral("700 "),
                    QStringLiteral("--picture-width"), QStringLiteral("880"),
                    QStringLiteral("--picture-height"), QStringLiteral("680"),
                    QStringLiteral("--left"), QStringLiteral("10"), QStringLiteral("--top"),
                    QStringLiteral(" 20"), QStringLiteral("--background"),
                    QString::number(0x123456), QStringLiteral("--border"), QStringLiteral("255"),
                    QStringLiteral("--pages"), pages, m_pictures});
        QVERIFY(make.waitForFinished(30000));
        QCOMPARE(make.exitCode(), 0);
        QCOMPARE(readAll(path), fromWindow);
#endif
    }

    void successfulRunStoresAndRestoresSettings()
    {
        open();
        browse(m_pictures);
        set({{QStringLiteral("Text2"), QStringLiteral("  book.dml ")},
             {QStringLiteral("Text3(0)"), QStringLiteral(" 800 ")},
             {QStringLiteral("Text3(1)"), QStringLiteral("600")},
             {QStringLiteral("Text3(2)"), QStringLiteral("780")},
             {QStringLiteral("Text3(3)"), QStringLiteral("580")},
             {QStringLiteral("Text8"), QStringLiteral("10 ")},
             {QStringLiteral("Text7"), QStringLiteral("20")}});
        control<ColourSwatch>(QStringLiteral("Label5"))->setColour(0xFF);
        control<ColourSwatch>(QStringLiteral("Label8"))->setColour(0xFF0000);
        generate();
        QCOMPARE(m_platform.warnings, QStringList());
        QVERIFY(QFile::exists(documentPath(QStringLiteral("book.dml"))));

        const StoredTexts expected{{QStringLiteral("dmlfilename"), QStringLiteral("book.dml")},
                                   {QStringLiteral("width1"), QStringLiteral("800")},
                                   {QStringLiteral("height1"), QStringLiteral("600")},
                                   {QStringLiteral("width2"), QStringLiteral("780")},
                                   {QStringLiteral("height2"), QStringLiteral("580")},
                                   {QStringLiteral("left"), QStringLiteral("10")},
                                   {QStringLiteral("right"), QStringLiteral("20")},
                                   {QStringLiteral("BGColor"), QStringLiteral("255")},
                                   {QStringLiteral("border"), QStringLiteral("0")},
                                   // The border colour is stored with the border off.
                                   {QStringLiteral("bordercolor"), QStringLiteral("16711680")},
                                   {QStringLiteral("fitmode"), QStringLiteral("0")}};
        QCOMPARE(loadStoredTexts(iniPath()), expected);

        // A new window shows what was stored; the folder and list are not.
        m_window.reset();
        open();
        QCOMPARE(control<QLineEdit>(QStringLiteral("Text2"))->text(), QStringLiteral("book.dml"));
        QCOMPARE(control<QLineEdit>(QStringLiteral("Text3(0)"))->text(), QStringLiteral("800"));
        QCOMPARE(control<QLineEdit>(QStringLiteral("Text8"))->text(), QStringLiteral("10"));
        QCOMPARE(control<QLineEdit>(QStringLiteral("Text7"))->text(), QStringLiteral("20"));
        QCOMPARE(control<ColourSwatch>(QStringLiteral("Label5"))->colour(), ColourValue(0xFF));
        QCOMPARE(control<ColourSwatch>(QStringLiteral("Label8"))->colour(), ColourValue(0xFF0000));
        QVERIFY(!control<QCheckBox>(QStringLiteral("Check1"))->isChecked());
        QCOMPARE(control<QLineEdit>(QStringLiteral("Text1"))->text(), QString());
        QCOMPARE(list()->model()->rowCount(), 0);
    }

    void borderValueIsStored_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("borderInDocument");
        QTest::newRow("checked") << int(Qt::Checked) << "1" << true;
        QTest::newRow("unchecked") << int(Qt::Unchecked) << "0" << false;
        QTest::newRow("greyed") << int(Qt::PartiallyChecked) << "2" << false;
    }

    void borderValueIsStored()
    {
        QFETCH(int, state);
        QFETCH(QString, stored);
        QFETCH(bool, borderInDocument);
        open();
        browse(m_pictures);
        control<QCheckBox>(QStringLiteral("Check1"))->setCheckState(Qt::CheckState(state));
        control<ColourSwatch>(QStringLiteral("Label8"))->setColour(0xFF);
        generate();
        QCOMPARE(loadStoredTexts(iniPath()).value(QStringLiteral("border")), stored);
        const QByteArray document = readAll(documentPath());
        QCOMPARE(document.contains("noborder=\"NO\" "), borderInDocument);
        QCOMPARE(document.contains("bordercolor=\"0FFh\""), borderInDocument);
    }

    void prompt_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("yes") << true;
        QTest::newRow("no") << false;
    }

    void prompt()
    {
        QFETCH(bool, yes);
        frmMain &w = open();
        browse(m_pictures);
        m_platform.answers = {yes};
        generate();
        QCOMPARE(m_platform.questions, QStringList{doneQuestion});
        QCOMPARE(m_platform.parents.last(), &w);
        QCOMPARE(m_platform.openedDocuments,
                 yes ? QStringList{documentPath()} : QStringList());
        // Either way the document and the settings are in place.
        QVERIFY(QFile::exists(documentPath()));
        QVERIFY(QFile::exists(iniPath()));
    }

    void secondRunGivesIdenticalBytes()
    {
        open();
        browse(m_pictures);
        generate();
        const QByteArray first = readAll(documentPath());
        QVERIFY(!first.isEmpty());
        generate();
        QCOMPARE(m_platform.questions.size(), 2);
        QCOMPARE(readAll(documentPath()), first);
    }

    void writeFailureKeepsTheOlderDocument()
    {
        // A file-size limit makes writing the new document fail part-way, as
        // a full disk would.
        QFile older(documentPath());
        QVERIFY(older.open(QIODevice::WriteOnly));
        older.write("older document");
        older.close();
        for (int i = 0; i < 40; ++i)
            QVERIFY(writePicture(m_pictures + QStringLiteral("p%1.jpg").arg(i, 3, 10, QLatin1Char('0')),
                              10, 10));
        open();
        browse(m_pictures);

        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 4096;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        generate();
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);

        QCOMPARE(m_platform.warnings.size(), 1);
        QVERIFY2(m_platform.warnings.first().startsWith(QStringLiteral(u"无法写入dml文件：") + documentPath()),
                 qPrintable(m_platform.warnings.first()));
        QVERIFY(m_platform.questions.isEmpty());
        QCOMPARE(readAll(documentPath()), QByteArray("older document"));
        QVERIFY(!QFile::exists(iniPath()));
        QCOMPARE(QDir(m_pictures).entryList(QDir::Files).size(), 44);
    }

    // A trash that cannot take the older document: nothing is written unless
    // the user lets the document go without it.
    void trashRefused_data()
    {
        QTest::addColumn<bool>("replace");
        QTest::newRow("No keeps everything") << false;
        QTest::newRow("Yes replaces without the trash") << true;
    }

    void trashRefused()
    {
        QFETCH(bool, replace);
        QVERIFY(writeBytes(documentPath(), "older"));
        const QString dataHome = subfolder(QStringLiteral("data"));
        QVERIFY(writeBytes(dataHome + QStringLiteral("/Trash"), "a file, not a folder"));
        const QByteArray savedDataHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome));
        const auto restore = qScopeGuard([&] { qputenv("XDG_DATA_HOME", savedDataHome); });
        open();
        browse(m_pictures);
        m_platform.answers = {replace, false};
        generate();

        QCOMPARE(m_platform.questions.value(0), QStringLiteral(u"无法将原有的dml文件移到回收站：") + dataHome
                                                    + QStringLiteral(u"/Trash: not a folder\n")
                                                    + messages::replaceWithoutTrash());
        QVERIFY(m_platform.warnings.isEmpty());
        QCOMPARE(m_platform.questions.size(), replace ? 2 : 1);
        QCOMPARE(readAll(documentPath()) == "older", !replace);
        QCOMPARE(QFile::exists(iniPath()), replace);
        // The three pictures and the document, no temporary file.
        QCOMPARE(QDir(m_pictures).entryList(QDir::Files | QDir::Hidden).size(), 4);
    }

    // Pictures deleted after the listing stop the run before anything is
    // written, with their entries selected.
    void vanishedPicturesAreSelected()
    {
        QVERIFY(writeBytes(documentPath(), "older"));
        open();
        browse(m_pictures);
        QVERIFY(QFile::remove(m_pictures + QStringLiteral("a.jpg")));
        QVERIFY(QFile::remove(m_pictures + QStringLiteral(u"封面.JPG")));
        control(QStringLiteral("Text2"))->setFocus();
        generate();
        QCOMPARE(m_platform.warnings, QStringList{QStringLiteral(u"以下图片在目录中找不到：\n封面.JPG\na.jpg")});
        QCOMPARE(focused(), QStringLiteral("List1"));
        const auto *list = control<QListView>(QStringLiteral("List1"));
        QStringList selected;
        for (const QModelIndex &index : list->selectionModel()->selectedIndexes())
            selected.append(index.data().toString());
        selected.sort();
        QCOMPARE(selected, (QStringList{QStringLiteral("a.jpg"), QStringLiteral(u"封面.JPG")}));
        QCOMPARE(readAll(documentPath()), QByteArray("older"));
        QVERIFY(m_platform.questions.isEmpty());
    }

    // A book holds at most 32,767 pages: the window lists the first ones and
    // says so once.
    void tooManyPicturesListsTheFirst()
    {
        for (int i = 0; i < 32765; ++i)
            QVERIFY(writeBytes(m_pictures + QStringLiteral("p%1.gif").arg(i, 5, 10, QLatin1Char('0')), QByteArray()));
        open();
        browse(m_pictures);
        QCOMPARE(m_platform.warnings, QStringList{messages::tooManyPictures()});
        const QAbstractItemModel *model = control<QListView>(QStringLiteral("List1"))->model();
        QCOMPARE(model->rowCount(), 32767);
        QCOMPARE(model->index(32766, 0).data().toString(), QStringLiteral("p32763.gif"));
    }

    void unwritableTargetSavesNothing()
    {
        QVERIFY(QDir().mkpath(documentPath()));
        open();
        browse(m_pictures);
        generate();
        QCOMPARE(m_platform.warnings.size(), 1);
        QVERIFY(m_platform.warnings.first().startsWith(QStringLiteral(u"无法写入dml文件：")));
        QVERIFY(m_platform.questions.isEmpty());
        QVERIFY(!QFile::exists(iniPath()));
    }

    void settingsFailureIsReportedAfterTheDocument()
    {
        QVERIFY(QDir().mkpath(iniPath()));
        open();
        browse(m_pictures);
        m_platform.answers = {true};
        generate();
        QVERIFY(QFile::exists(documentPath()));
        QCOMPARE(m_platform.warnings.size(), 1);
        QVERIFY(m_platform.warnings.first().contains(iniPath()));
        // The document is there, so it is still offered.
        QCOMPARE(m_platform.questions, QStringList{doneQuestion});
        QCOMPARE(m_platform.openedDocuments, QStringList{documentPath()});
    }

    void noNestedRun_data()
    {
        QTest::addColumn<bool>("failing");
        QTest::newRow("during the prompt") << false;
        QTest::newRow("during a warning") << true;
    }

    void noNestedRun()
    {
        QFETCH(bool, failing);
        open();
        browse(m_pictures);
        if (failing)
            set({{QStringLiteral("Text3(0)"), QString()}});
        int clicks = 0;
        m_platform.whileModal = [&] {
            if (clicks++ < 3)
                generate();
        };
        generate();
        QCOMPARE(clicks, 1);
        QCOMPARE(m_platform.warnings.size() + m_platform.questions.size(), qsizetype(1));
        // Once the run is over the command works again.
        m_platform.whileModal = nullptr;
        generate();
        QCOMPARE(m_platform.warnings.size() + m_platform.questions.size(), qsizetype(2));
    }
};

QTEST_MAIN(tst_Generate)
#include "tst_generate.moc"

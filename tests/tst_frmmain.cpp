#include "app/colourswatch.h"
#include "widgets/readablecolour.h"
#include "mainwindowfixture.h"
#include "list/listcommands.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QInputMethodEvent>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace tarnwick;

namespace {

const QStringList numberBoxes{QStringLiteral("Text3(0)"), QStringLiteral("Text3(1)"),
                              QStringLiteral("Text3(2)"), QStringLiteral("Text3(3)"),
                              QStringLiteral("Text8"),    QStringLiteral("Text7")};

} // namespace

Q_DECLARE_METATYPE(tarnwick::ListCommand)

class tst_frmMain : public QObject, protected MainWindowFixture
{
    Q_OBJECT

public:
    tst_frmMain() : MainWindowFixture(QStringLiteral("Vellicor.ini")) {}

private:
    void store(const QList<std::pair<QString, QString>> &values)
    {
        QSettings s(iniPath(), QSettings::IniFormat);
        s.beginGroup(QStringLiteral("Pellory"));
        for (const auto &[key, value] : values)
            s.setValue(key, value);
    }

    ColourValue swatch(const QString &name) const { return control<ColourSwatch>(name)->colour(); }
    // The width a control's caption needs to be shown uncut; 0 for controls
    // without one.
    static int neededWidth(const QWidget *w)
    {
        if (const auto *box = qobject_cast<const QCheckBox *>(w)) {
            const QStyle *style = box->style();
            return style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, box)
                + style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, box)
                + box->fontMetrics().horizontalAdvance(box->text());
        }
        if (const auto *button = qobject_cast<const QPushButton *>(w))
            return button->text().isEmpty() ? 0 : button->sizeHint().width();
        if (const auto *combo = qobject_cast<const QComboBox *>(w))
            return combo->sizeHint().width();
        if (const auto *label = qobject_cast<const QLabel *>(w))
            return label->text().isEmpty() ? 0 : label->sizeHint().width();
        return 0;
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(startApplication()); }

    void init() { QVERIFY(resetFixture()); }

    void cleanup() { m_window.reset(); }

    void initialValuesOnAnEmptyStore()
    {
        frmMain &w = open();
        QCOMPARE(w.objectName(), QStringLiteral("frmMain"));
        QCOMPARE(text(QStringLiteral("Text2")), QStringLiteral("MyEBook.dml"));
        QCOMPARE(text(QStringLiteral("Text3(0)")), QStringLiteral("1024"));
        QCOMPARE(text(QStringLiteral("Text3(1)")), QStringLiteral("768"));
        QCOMPARE(text(QStringLiteral("Text3(2)")), QStringLiteral("1024"));
        QCOMPARE(text(QStringLiteral("Text3(3)")), QStringLiteral("768"));
        QCOMPARE(text(QStringLiteral("Text8")), QStringLiteral("0"));
        QCOMPARE(text(QStringLiteral("Text7")), QStringLiteral("0"));
        QCOMPARE(text(QStringLiteral("Text1")), QString());
        QCOMPARE(swatch(QStringLiteral("Label5")), ColourValue(0xFFFFFF));
        QCOMPARE(swatch(QStringLiteral("Label8")), ColourValue(0));
        QCOMPARE(control<QCheckBox>(QStringLiteral("Check1"))->checkState(), Qt::Unchecked);
        QCOMPARE(control<QCheckBox>(QStringLiteral("Check2"))->checkState(), Qt::Unchecked);
        QVERIFY(!control(QStringLiteral("Label4"))->isVisible());
        QVERIFY(!control(QStringLiteral("Label8"))->isVisible());
        QVERIFY(control(QStringLiteral("Label5"))->isVisible());
        QCOMPARE(list()->model()->rowCount(), 0);
        QCOMPARE(control<QGroupBox>(QStringLiteral("Frame1"))->title(), QStringLiteral(u"图片列表"));
        QCOMPARE(focused(), QStringLiteral("List1"));
        // Loading reads only: the first start leaves no file behind.
        QVERIFY(!QFile::exists(iniPath()));
    }

    void restoresStoredTexts_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("shown");
        QTest::newRow("name trimmed") << "dmlfilename" << QStringLiteral(u"  相册 1.dml  ") << "Text2"
                                      << QStringLiteral(u"相册 1.dml");
        QTest::newRow("blank width is missing") << "width1" << "   " << "Text3(0)" << "1024";
        QTest::newRow("height1") << "height1" << " 600" << "Text3(1)" << "600";
        QTest::newRow("letters kept") << "width2" << "abc" << "Text3(2)" << "abc";
        QTest::newRow("five digits in full") << "height2" << "12345" << "Text3(3)" << "12345";
        QTest::newRow("long text in full") << "height2" << "1234567890" << "Text3(3)" << "1234567890";
        QTest::newRow("very long name in full") << "dmlfilename" << QString(40000, u'n') << "Text2"
                                                << QString(40000, u'n');
        QTest::newRow("left margin") << "left" << "10" << "Text8" << "10";
        QTest::newRow("right is the top margin") << "right" << "20 " << "Text7" << "20";
        QTest::newRow("empty name") << "dmlfilename" << "" << "Text2" << "MyEBook.dml";
    }

    void restoresStoredTexts()
    {
        QFETCH(QString, key);
        QFETCH(QString, stored);
        QFETCH(QString, box);
        QFETCH(QString, shown);
        store({{key, stored}});
        open();
        QCOMPARE(text(box), shown);
    }

    void restoresBorderAndColours_data()
    {
        QTest::addColumn<QString>("border");
        QTest::addColumn<QString>("bgColor");
        QTest::addColumn<QString>("borderColor");
        QTest::addColumn<bool>("checked");
        QTest::addColumn<ColourValue>("background");
        QTest::addColumn<ColourValue>("borderColour");
        QTest::newRow("1 with blanks") << " 1 " << "255" << "65280" << true << ColourValue(0xFF)
                                       << ColourValue(0xFF00);
        QTest::newRow("0") << "0" << "" << "16711680" << false << ColourValue(0xFFFFFF)
                           << ColourValue(0xFF0000);
        QTest::newRow("greyed digit") << "2" << "0" << "" << false << ColourValue(0) << ColourValue(0);
        QTest::newRow("text") << "yes" << "  255  " << "-1" << false << ColourValue(0xFF)
                              << ColourValue(0xFFFFFFFF);
        QTest::newRow("not a number") << "1" << "red" << "0x10" << true << ColourValue(0xFFFFFF)
                                      << ColourValue(0);
        QTest::newRow("beyond 32 bits") << "01" << "4294967296" << "1.5" << false
                                        << ColourValue(0xFFFFFF) << ColourValue(0);
    }

    void restoresBorderAndColours()
    {
        QFETCH(QString, border);
        QFETCH(QString, bgColor);
        QFETCH(QString, borderColor);
        QFETCH(bool, checked);
        QFETCH(ColourValue, background);
        QFETCH(ColourValue, borderColour);
        store({{QStringLiteral("border"), border},
               {QStringLiteral("BGColor"), bgColor},
               {QStringLiteral("bordercolor"), borderColor}});
        open();
        auto *check1 = control<QCheckBox>(QStringLiteral("Check1"));
        QCOMPARE(check1->isChecked(), checked);
        QCOMPARE(control(QStringLiteral("Label4"))->isVisible(), checked);
        QCOMPARE(control(QStringLiteral("Label8"))->isVisible(), checked);
        QCOMPARE(swatch(QStringLiteral("Label5")), background);
        QCOMPARE(swatch(QStringLiteral("Label8")), borderColour);
        // The colour restored while hidden is the one shown once the border is on.
        check1->setChecked(true);
        QVERIFY(control(QStringLiteral("Label8"))->isVisible());
        QCOMPARE(swatch(QStringLiteral("Label8")), borderColour);
        QCOMPARE(control(QStringLiteral("Label8"))->palette().color(QPalette::Window).rgb(),
                 QColor(int(borderColour & 0xFF), int(borderColour >> 8 & 0xFF),
                        int(borderColour >> 16 & 0xFF))
                     .rgb());
    }

    void damagedStoreGivesDefaults()
    {
        QFile f(iniPath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        static const char damaged[] = "[Pellory]\nwidth1=640\nborder=1\n\0\xff\xfe\n[Pel";
        f.write(damaged, sizeof damaged - 1);
        f.close();
        open();
        QCOMPARE(text(QStringLiteral("Text3(0)")), QStringLiteral("1024"));
        QVERIFY(!control<QCheckBox>(QStringLiteral("Check1"))->isChecked());
    }

    void tabOrder()
    {
        open();
        const QStringList order{QStringLiteral("List1"),    QStringLiteral("Text1"),
                                QStringLiteral("Command1"), QStringLiteral("Text2"),
                                QStringLiteral("Text3(0)"), QStringLiteral("Text3(1)"),
                                QStringLiteral("Check1"),   QStringLiteral("Text3(3)"),
                                QStringLiteral("Text3(2)"), QStringLiteral("Text7"),
                                QStringLiteral("Text8"),    QStringLiteral("Combo1"),
                                QStringLiteral("Command2"),
                                QStringLiteral("Command3"), QStringLiteral("Check2"),
                                QStringLiteral("Label5"),   QStringLiteral("List1")};
        QCOMPARE(focused(), order.first());
        for (qsizetype i = 1; i < order.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(focused(), order[i]);
        }
        for (qsizetype i = order.size() - 2; i >= 0; --i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
            QCOMPARE(focused(), order[i]);
        }
        // The border toggle does not join the tab order when it shows its swatch.
        control<QCheckBox>(QStringLiteral("Check1"))->setChecked(true);
        control(QStringLiteral("Text3(1)"))->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(focused(), QStringLiteral("Text3(3)"));
    }

    // The swatches are reached by Tab after Check2, and a key opens the chooser.
    void swatchesByKeyboard_data()
    {
        QTest::addColumn<QString>("swatch");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("tabsFromCheck2");
        QTest::newRow("background, Space") << QStringLiteral("Label5") << int(Qt::Key_Space) << 1;
        QTest::newRow("border, Enter") << QStringLiteral("Label8") << int(Qt::Key_Return) << 2;
    }

    void swatchesByKeyboard()
    {
        QFETCH(QString, swatch);
        QFETCH(int, key);
        QFETCH(int, tabsFromCheck2);
        open();
        auto *label = control<ColourSwatch>(swatch);
        control<QCheckBox>(QStringLiteral("Check1"))->setChecked(true);
        // A click opens the chooser but leaves the focus where it was.
        QTest::mouseClick(label, Qt::LeftButton);
        QCOMPARE(m_platform.colourCalls, 1);
        QCOMPARE(focused(), QStringLiteral("List1"));

        control(QStringLiteral("Check2"))->setFocus();
        for (int i = 0; i < tabsFromCheck2; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(focused(), swatch);
        m_platform.colours = {ColourValue(0x00FF00)};
        QTest::keyClick(label, Qt::Key(key));
        QCOMPARE(m_platform.colourCalls, 2);
        QCOMPARE(label->colour(), ColourValue(0x00FF00));
        QTest::keyClick(label, Qt::Key_A);
        QCOMPARE(m_platform.colourCalls, 2);
    }

    void typingIsLimitedToFourCharacters_data()
    {
        QTest::addColumn<QString>("box");
        for (const QString &name : numberBoxes)
            QTest::newRow(qPrintable(name)) << name;
    }

    void typingIsLimitedToFourCharacters()
    {
        QFETCH(QString, box);
        store({{QStringLiteral("width1"), QStringLiteral("123456")},
               {QStringLiteral("height1"), QStringLiteral("123456")},
               {QStringLiteral("width2"), QStringLiteral("123456")},
               {QStringLiteral("height2"), QStringLiteral("123456")},
               {QStringLiteral("left"), QStringLiteral("123456")},
               {QStringLiteral("right"), QStringLiteral("123456")}});
        open();
        auto *edit = control<QLineEdit>(box);
        edit->setFocus();
        QCOMPARE(edit->text(), QStringLiteral("123456"));

        // An over-long restored text can be shortened but not lengthened.
        edit->setCursorPosition(3);
        QTest::keyClick(edit, Qt::Key_9);
        QCOMPARE(edit->text(), QStringLiteral("123456"));
        QCOMPARE(edit->cursorPosition(), 3);
        QTest::keyClick(edit, Qt::Key_Backspace);
        QCOMPARE(edit->text(), QStringLiteral("12456"));
        QTest::keyClick(edit, Qt::Key_Backspace);
        QCOMPARE(edit->text(), QStringLiteral("1456"));
        QTest::keyClick(edit, Qt::Key_7);
        QCOMPARE(edit->text(), QStringLiteral("1456"));

        edit->selectAll();
        QTest::keyClicks(edit, QStringLiteral("98765"));
        QCOMPARE(edit->text(), QStringLiteral("9876"));
        // Replacing a selection with the same number of characters is typing
        // within the limit.
        edit->setSelection(1, 2);
        QTest::keyClicks(edit, QStringLiteral("0"));
        QCOMPARE(edit->text(), QStringLiteral("906"));
        QTest::keyClicks(edit, QStringLiteral("12"));
        QCOMPARE(edit->text(), QStringLiteral("9016"));

        // Text committed by an input method counts as typed.
        edit->clear();
        QInputMethodEvent commit;
        commit.setCommitString(QStringLiteral(u"一二三四五"));
        QApplication::sendEvent(edit, &commit);
        QCOMPARE(edit->text(), QString());
        QInputMethodEvent shorter;
        shorter.setCommitString(QStringLiteral(u"一二三"));
        QApplication::sendEvent(edit, &shorter);
        QCOMPARE(edit->text(), QStringLiteral(u"一二三"));
    }

    void nameAndFolderBoxes()
    {
        open();
        auto *text2 = control<QLineEdit>(QStringLiteral("Text2"));
        text2->setFocus();
        text2->clear();
        const QString longName = QString(300, u'a') + QStringLiteral(".dml");
        QTest::keyClicks(text2, longName);
        QCOMPARE(text2->text(), longName);
        text2->insert(QStringLiteral(u"中文"));
        QCOMPARE(text2->text(), longName + QStringLiteral(u"中文"));

        auto *text1 = control<QLineEdit>(QStringLiteral("Text1"));
        text1->setFocus();
        QTest::keyClicks(text1, QStringLiteral("abc"));
        QTest::keyClick(text1, Qt::Key_Backspace);
        QCOMPARE(text1->text(), QString());
    }

    void enterAndEscRunNothing_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::newRow("List1") << "List1";
        QTest::newRow("Command1") << "Command1";
        QTest::newRow("Text2") << "Text2";
        QTest::newRow("Command2") << "Command2";
        QTest::newRow("Command3") << "Command3";
    }

    void enterAndEscRunNothing()
    {
        QFETCH(QString, focus);
        frmMain &w = open();
        QSignalSpy quit(&w, &frmMain::quitRequested);
        const QList<QPushButton *> buttons = w.findChildren<QPushButton *>();
        QList<std::shared_ptr<QSignalSpy>> clicks;
        for (QPushButton *b : buttons) {
            QVERIFY(!b->isDefault());
            clicks.append(std::make_shared<QSignalSpy>(b, &QPushButton::clicked));
        }
        control(focus)->setFocus();
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
            QTest::keyClick(control(focus), key);
        QVERIFY(w.isVisible());
        QCOMPARE(quit.size(), 0);
        for (const auto &spy : clicks)
            QCOMPARE(spy->size(), 0);
        QVERIFY(m_platform.untouched());
    }

    void accessKeys()
    {
        frmMain &w = open();
        QSignalSpy quit(&w, &frmMain::quitRequested);
        QSignalSpy generate(control<QPushButton>(QStringLiteral("Command2")), &QPushButton::clicked);
        // An access key animates the button's click, which ends a moment later.
        QTest::keyClick(&w, Qt::Key_B, Qt::AltModifier);
        QTRY_COMPARE(generate.size(), 1);
        QCOMPARE(quit.size(), 0);
        QTest::keyClick(&w, Qt::Key_Q, Qt::AltModifier);
        QTRY_COMPARE(quit.size(), 1);
        QCOMPARE(generate.size(), 1);
    }

    void quitEndsAtOnceAndSavesNothing()
    {
        frmMain &w = open();
        QSignalSpy quit(&w, &frmMain::quitRequested);
        control<QLineEdit>(QStringLiteral("Text3(0)"))->setText(QStringLiteral("800"));
        click(QStringLiteral("Command3"));
        QCOMPARE(quit.size(), 1);
        // Quitting is not closing: the window is left for the program's end.
        QVERIFY(w.isVisible());
        QVERIFY(!QFile::exists(iniPath()));
    }

    void closingSavesNothing()
    {
        frmMain &w = open();
        QSignalSpy quit(&w, &frmMain::quitRequested);
        control<QLineEdit>(QStringLiteral("Text3(0)"))->setText(QStringLiteral("800"));
        QVERIFY(w.close());
        QVERIFY(!w.isVisible());
        QCOMPARE(quit.size(), 0);
        QVERIFY(!QFile::exists(iniPath()));
        QVERIFY(m_platform.untouched());
    }

    void chooseBackgroundColour()
    {
        frmMain &w = open();
        auto *label5 = control<ColourSwatch>(QStringLiteral("Label5"));
        m_platform.colours = {ColourValue(0xFF), std::nullopt, ColourValue(0x123456)};
        QTest::mouseClick(label5, Qt::LeftButton);
        QCOMPARE(m_platform.colourCalls, 1);
        QCOMPARE(m_platform.parents.last(), &w);
        QCOMPARE(label5->colour(), ColourValue(0xFF));
        QCOMPARE(label5->palette().color(QPalette::Window), QColor(255, 0, 0));
        QTest::mouseClick(label5, Qt::LeftButton);
        QCOMPARE(m_platform.colourCalls, 2);
        QCOMPARE(label5->colour(), ColourValue(0xFF));
        // A press that ends outside the swatch is no click.
        QTest::mousePress(label5, Qt::LeftButton);
        QTest::mouseRelease(label5, Qt::LeftButton, {}, QPoint(-5, -5));
        QTest::mouseClick(label5, Qt::RightButton);
        QCOMPARE(m_platform.colourCalls, 2);
        QCOMPARE(swatch(QStringLiteral("Label8")), ColourValue(0));
    }

    void borderToggleAndBorderColour()
    {
        open();
        auto *check1 = control<QCheckBox>(QStringLiteral("Check1"));
        auto *label8 = control<ColourSwatch>(QStringLiteral("Label8"));
        auto *frame4 = control(QStringLiteral("Frame4"));
        const QPoint hiddenSwatch = label8->geometry().center();

        // While hidden, the swatch's place does not react.
        QTest::mouseClick(frame4, Qt::LeftButton, {}, hiddenSwatch);
        QCOMPARE(m_platform.colourCalls, 0);

        QTest::mouseClick(check1, Qt::LeftButton);
        QVERIFY(check1->isChecked());
        QVERIFY(label8->isVisible());
        QVERIFY(control(QStringLiteral("Label4"))->isVisible());

        m_platform.colours = {ColourValue(0xFF0000)};
        QTest::mouseClick(label8, Qt::LeftButton);
        QCOMPARE(m_platform.colourCalls, 1);
        QCOMPARE(label8->colour(), ColourValue(0xFF0000));

        QTest::keyClick(check1, Qt::Key_Space);
        QVERIFY(!check1->isChecked());
        QVERIFY(!label8->isVisible());
        QVERIFY(!control(QStringLiteral("Label4"))->isVisible());
        QCOMPARE(label8->colour(), ColourValue(0xFF0000));

        // Set from code, as a greyed value would be: counts as no border.
        check1->setCheckState(Qt::PartiallyChecked);
        QVERIFY(!label8->isVisible());
        check1->setCheckState(Qt::Checked);
        QVERIFY(label8->isVisible());
        QCOMPARE(label8->colour(), ColourValue(0xFF0000));
    }

    void windowFrame()
    {
        frmMain &w = open();
        QCOMPARE(w.size(), QSize(540, 332));
        QCOMPARE(w.minimumSize(), QSize(540, 332));
        QCOMPARE(w.maximumSize(), QSize(540, 332));
        QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(w.windowFlags() & Qt::WindowMinimizeButtonHint);
        QVERIFY(w.windowFlags() & Qt::WindowCloseButtonHint);
        QVERIFY(!w.windowIcon().isNull());
        // The installed icon, not one of the program's own drawing.
        QCOMPARE(w.windowIcon().pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied),
                 QImage(QStringLiteral(":/icons/tarnwick-32.png")).convertToFormat(QImage::Format_ARGB32_Premultiplied));
        const QRect screen = w.screen()->availableGeometry();
        QVERIFY(qAbs(w.frameGeometry().center().x() - screen.center().x()) <= 1);
        QVERIFY(qAbs(w.frameGeometry().center().y() - screen.center().y()) <= 1);
        auto *command1 = control<QPushButton>(QStringLiteral("Command1"));
        QVERIFY(command1->text().isEmpty());
        QVERIFY(!command1->icon().isNull());
        QCOMPARE(command1->iconSize(), QSize(16, 16));
        QVERIFY(w.IsFormLoaded(QStringLiteral("frmMain")));
        QVERIFY(!w.IsFormLoaded(QStringLiteral("frmmain")));
        QVERIFY(!w.IsFormLoaded(QStringLiteral("frmShowPic")));
    }

    void geometry_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QRect>("rect");
        QTest::newRow("Frame2") << "Frame2" << "frmMain" << QRect(16, 16, 241, 50);
        QTest::newRow("Command1") << "Command1" << "Frame2" << QRect(210, 16, 25, 25);
        QTest::newRow("Frame1") << "Frame1" << "frmMain" << QRect(16, 74, 240, 184);
        QTest::newRow("List1") << "List1" << "Frame1" << QRect(14, 24, 158, 146);
        QTest::newRow("Check2") << "Check2" << "Frame1" << QRect(184, 154, 45, 17);
        QTest::newRow("Text2") << "Text2" << "Frame3" << QRect(8, 16, 225, 25);
        QTest::newRow("Label5") << "Label5" << "Frame4" << QRect(136, 62, 41, 20);
        QTest::newRow("Label8") << "Label8" << "Frame4" << QRect(152, 94, 25, 20);
        QTest::newRow("Frame5") << "Frame5" << "frmMain" << QRect(272, 153, 249, 105);
        QTest::newRow("Text3(3)") << "Text3(3)" << "Frame5" << QRect(184, 24, 41, 25);
        QTest::newRow("Text7") << "Text7" << "Frame5" << QRect(184, 64, 41, 25);
        QTest::newRow("Text8") << "Text8" << "Frame5" << QRect(72, 64, 41, 25);
        // The way of placing, in the band between Frame5 (ending at 258) and the buttons.
        QTest::newRow("Combo1") << "Combo1" << "frmMain" << QRect(364, 261, 133, 25);
        QTest::newRow("Command2") << "Command2" << "frmMain" << QRect(272, 289, 121, 25);
        QTest::newRow("Command3") << "Command3" << "frmMain" << QRect(424, 289, 97, 25);
    }

    void geometry()
    {
        QFETCH(QString, name);
        QFETCH(QString, parent);
        QFETCH(QRect, rect);
        open();
        QWidget *w = control(name);
        QCOMPARE(w->parentWidget()->objectName(), parent);
        QCOMPARE(w->geometry(), rect);
    }

    // Every caption fits its control and no two visible controls of one
    // container overlap, with the application's font and style.
    void layoutHolds()
    {
        frmMain &w = open();
        control<QCheckBox>(QStringLiteral("Check1"))->setChecked(true);
        QList<QWidget *> containers{&w};
        for (QGroupBox *frame : w.findChildren<QGroupBox *>())
            containers.append(frame);
        for (QWidget *container : containers) {
            QList<QWidget *> children;
            for (QWidget *child : container->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
                if (child->isVisible() && !child->objectName().isEmpty())
                    children.append(child);
            for (QWidget *child : children) {
                QVERIFY2(container->rect().contains(child->geometry()), qPrintable(child->objectName()));
                QVERIFY2(neededWidth(child) <= child->width()
                             && child->fontMetrics().height() <= child->height(),
                         qPrintable(child->objectName()));
                for (QWidget *other : children)
                    if (other != child)
                        QVERIFY2(!child->geometry().intersects(other->geometry()),
                                 qPrintable(child->objectName() + u' ' + other->objectName()));
            }
        }
        for (QGroupBox *frame : w.findChildren<QGroupBox *>())
            QVERIFY2(frame->fontMetrics().horizontalAdvance(frame->title()) + 16 <= frame->width(),
                     qPrintable(frame->objectName()));
    }

    // Each command label of the window runs the command its caption names:
    // P Q R S T with Q and S selected.
    void commandLabels_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<ListCommand>("command");
        QTest::addColumn<QString>("after");
        QTest::newRow("Label11") << "Label11" << ListCommand::MoveToTop << "QSPRT";
        QTest::newRow("Label12") << "Label12" << ListCommand::MoveUp << "QPSRT";
        QTest::newRow("Label13") << "Label13" << ListCommand::MoveToBottom << "PRTQS";
        QTest::newRow("Label14") << "Label14" << ListCommand::MoveDown << "PRQTS";
        QTest::newRow("Label15") << "Label15" << ListCommand::Remove << "PRT";
    }

    void commandLabels()
    {
        QFETCH(QString, name);
        QFETCH(ListCommand, command);
        QFETCH(QString, after);
        const QString folder = subfolder(QStringLiteral("letters"));
        for (const QChar letter : QStringLiteral("PQRST"))
            QVERIFY(writePicture(folder + u'/' + letter + QStringLiteral(".jpg"), 2, 2));
        open();
        browse(folder);
        QItemSelectionModel *selection = list()->selectionModel();
        for (const int row : {1, 3})
            selection->select(list()->model()->index(row, 0), QItemSelectionModel::Select);
        auto *label = control<QLabel>(name);
        QCOMPARE(label->text(), listCommandCaption(command));
        QTest::mouseClick(label, Qt::LeftButton);
        QString order;
        for (const QString &entry : entries())
            order += entry.front();
        QCOMPARE(order, after);
    }

    // The list commands keep their blue on a light window and turn to a colour
    // that reads well on a dark one.
    void readableCommandColour_data()
    {
        QTest::addColumn<QColor>("window");
        QTest::addColumn<QColor>("link");
        QTest::addColumn<QColor>("text");
        QTest::addColumn<QColor>("expected");
        QTest::newRow("light") << QColor(0xf0f0f0) << QColor(0x2a82da) << QColor(Qt::black) << QColor(0, 0, 255);
        QTest::newRow("white, pale link") << QColor(Qt::white) << QColor(0xaaccff) << QColor(Qt::black)
                                          << QColor(0, 0, 255);
        QTest::newRow("dark, readable link") << QColor(0x202124) << QColor(0x8ab4f8) << QColor(0xe8eaed)
                                             << QColor(0x8ab4f8);
        QTest::newRow("dark, dim link") << QColor(0x353535) << QColor(0x2a82da) << QColor(Qt::white)
                                        << QColor(Qt::white);
    }

    void readableCommandColour()
    {
        QFETCH(QColor, window);
        QFETCH(QColor, link);
        QFETCH(QColor, text);
        QFETCH(QColor, expected);
        QWidget parent;
        QPalette palette = parent.palette();
        palette.setColor(QPalette::Window, window);
        palette.setColor(QPalette::Link, link);
        palette.setColor(QPalette::WindowText, text);
        parent.setPalette(palette);
        const LinkLabel label(QStringLiteral(u"上移一行"), &parent);
        QCOMPARE(label.palette().color(QPalette::WindowText), expected);
        // The info line's light red on the same background.
        const QColor info = readableTextColour(QColor(0xFF, 0x80, 0x80), palette, QPalette::WindowText);
        QCOMPARE(contrastRatio(Qt::white, Qt::black), 21.0);
        const bool dark = window.lightness() < 128;
        QCOMPARE(info == QColor(0xFF, 0x80, 0x80), !dark);
        if (dark) {
            QVERIFY(contrastRatio(expected, window) >= 4.5);
            QVERIFY(contrastRatio(info, window) >= 4.5);
        }
    }

    // Labels that act as buttons: a pointing hand; the list commands never
    // take the keyboard focus, the swatches only by Tab.
    void clickableLabels()
    {
        open();
        for (const char *name : {"Label11", "Label12", "Label13", "Label14", "Label15", "Label5", "Label8"}) {
            auto *label = control<QLabel>(QString::fromLatin1(name));
            QCOMPARE(label->cursor().shape(), Qt::PointingHandCursor);
            const bool swatch = qobject_cast<ColourSwatch *>(label);
            QCOMPARE(label->focusPolicy(), swatch ? Qt::TabFocus : Qt::NoFocus);
            QVERIFY2(!label->toolTip().isEmpty(), name);
        }
    }
};

QTEST_MAIN(tst_frmMain)
#include "tst_frmmain.moc"

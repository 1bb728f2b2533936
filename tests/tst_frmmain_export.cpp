#include "app/exportdialog.h"
#include "mainwindowfixture.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QSpinBox>
#include <QTimer>

using namespace tarnwick;

// 导出电子书文件夹… through the real window, the list's menu and the export dialog.
class tst_frmMainExport : public QObject, protected MainWindowFixture
{
    Q_OBJECT

public:
    tst_frmMainExport() : MainWindowFixture(QStringLiteral("none.ini")) {}

private:
    // Answers the export dialog when it opens: ticks scaling down when scale
    // is given, and accepts or cancels.
    void answerDialog(bool accept, int scale = 0)
    {
        QTimer::singleShot(0, this, [accept, scale] {
            auto *dialog = qobject_cast<ExportDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            if (scale != 0) {
                dialog->scaleCheck()->setChecked(true);
                dialog->scaleBox()->setValue(scale);
            }
            accept ? dialog->accept() : dialog->reject();
        });
    }

    QAction *exportAction() const { return m_window->findChild<QAction *>(QStringLiteral("exportBook")); }

private Q_SLOTS:
    void initTestCase() { QVERIFY(startApplication()); }
    void init()
    {
        QVERIFY(resetFixture());
        QVERIFY(openWindow());
    }
    void cleanup() { m_window.reset(); }

    void exportsAndOffersTheFolder_data()
    {
        QTest::addColumn<bool>("accept");
        QTest::addColumn<bool>("open");
        QTest::newRow("exported, opened") << true << true;
        QTest::newRow("exported, not opened") << true << false;
        QTest::newRow("dialog cancelled") << false << false;
    }

    void exportsAndOffersTheFolder()
    {
        QFETCH(bool, accept);
        QFETCH(bool, open);
        const QString pics = subfolder(QStringLiteral("pics"));
        QVERIFY(writePicture(pics + QStringLiteral("/a.jpg"), 640, 480));
        QVERIFY(writePicture(pics + QStringLiteral("/b.jpg"), 640, 480));
        browse(pics);
        QVERIFY(exportAction());
        const QString target = m_dir->filePath(QStringLiteral("book/out"));
        m_platform.folders.push_back(target);
        m_platform.answers.push_back(open);
        answerDialog(accept, 2);
        exportAction()->trigger();
        if (!accept) {
            QVERIFY(m_platform.questions.isEmpty());
            QVERIFY(!QFileInfo::exists(m_dir->filePath(QStringLiteral("book"))));
            return;
        }
        QTRY_COMPARE(m_platform.questions.size(), 1);
        QCOMPARE(m_platform.questions.first(), QStringLiteral(u"电子书文件夹已导出到：") + target
                                                   + QStringLiteral(u"，是否打开该文件夹？"));
        QCOMPARE(m_platform.openedFolders, open ? QStringList{target} : QStringList());
        QStringList written = QDir(target).entryList(QDir::Files);
        written.sort();
        QCOMPARE(written, (QStringList{u"MyEBook.dml"_qs, u"a.jpg"_qs, u"b.jpg"_qs}));
        QVERIFY(m_platform.warnings.isEmpty());
        QVERIFY(exportAction()->isEnabled());
    }

    void inBothMenus()
    {
        const QString pics = subfolder(QStringLiteral("pics"));
        QVERIFY(writePicture(pics + QStringLiteral("/a.jpg"), 64, 48));
        browse(pics);
        const QList<QMenu *> menus = m_window->findChildren<QMenu *>();
        QVERIFY(std::any_of(menus.cbegin(), menus.cend(),
                            [this](const QMenu *menu) { return menu->actions().contains(exportAction()); }));
        QCOMPARE(exportAction()->text(), QStringLiteral(u"导出电子书文件夹…"));
    }

    void dialogIsNamed()
    {
        ExportDialog dialog(m_window.get());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QVERIFY(!dialog.scaleCheck()->accessibleName().isEmpty());
        QVERIFY(!dialog.scaleBox()->accessibleName().isEmpty());
        const QList<QLabel *> labels = dialog.findChildren<QLabel *>();
        QVERIFY(std::any_of(labels.cbegin(), labels.cend(),
                            [&](const QLabel *label) { return label->buddy() == dialog.scaleBox(); }));
        // The number follows the check box; off, the dialog asks for no scaling.
        QVERIFY(!dialog.scaleBox()->isEnabled());
        QCOMPARE(dialog.maxScale(), 0);
        // Reached from the keyboard: the check box has the focus, Space ticks it.
        QTRY_COMPARE(QApplication::focusWidget(), dialog.scaleCheck());
        QTest::keyClick(dialog.scaleCheck(), Qt::Key_Space);
        QVERIFY(dialog.scaleCheck()->isChecked());
        QVERIFY(dialog.scaleBox()->isEnabled());
        QCOMPARE(dialog.maxScale(), dialog.scaleBox()->value());
    }
};

QTEST_MAIN(tst_frmMainExport)
#include "tst_frmmain_export.moc"

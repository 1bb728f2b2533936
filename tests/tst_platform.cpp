#include "app/qtplatform.h"

#include <QApplication>
#include <QColorDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace tarnwick;

// Drives Qt's real dialogs: a timer started before the dialog opens finds the
// modal widget, checks it and closes it.
class tst_Platform : public QObject
{
    Q_OBJECT

private:
    QWidget m_owner;
    bool m_handled = false;

    void whenModal(std::function<void(QWidget *)> handle)
    {
        m_handled = false;
        auto *timer = new QTimer(this);
        timer->setInterval(10);
        connect(timer, &QTimer::timeout, this, [this, timer, handle] {
            QWidget *modal = QApplication::activeModalWidget();
            if (!modal)
                return;
            timer->stop();
            timer->deleteLater();
            m_handled = true;
            handle(modal);
        });
        timer->start();
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_owner.resize(200, 100);
        m_owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&m_owner));
    }

    // The two OK-only boxes: a failed check and a notice.
    void okBox_data()
    {
        QTest::addColumn<bool>("notice");
        QTest::addColumn<QString>("expectedCaption");
        QTest::addColumn<int>("expectedIcon");
        QTest::newRow("warning") << false << QStringLiteral(u"错误信息") << int(QMessageBox::Warning);
        QTest::newRow("information") << true << QStringLiteral(u"提示信息") << int(QMessageBox::Information);
    }

    void okBox()
    {
        QFETCH(bool, notice);
        QFETCH(QString, expectedCaption);
        QFETCH(int, expectedIcon);
        QtPlatform platform;
        QString caption;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
        QString text;
        QWidget *parent = nullptr;
        whenModal([&](QWidget *modal) {
            auto *box = qobject_cast<QMessageBox *>(modal);
            QVERIFY(box);
            caption = box->windowTitle();
            icon = box->icon();
            buttons = box->standardButtons();
            text = box->text();
            parent = box->parentWidget();
            box->button(QMessageBox::Ok)->click();
        });
        if (notice)
            platform.showInformation(&m_owner, QStringLiteral(u"此处不能为空！"));
        else
            platform.showWarning(&m_owner, QStringLiteral(u"此处不能为空！"));
        QVERIFY(m_handled);
        QCOMPARE(caption, expectedCaption);
        QCOMPARE(int(icon), expectedIcon);
        QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(text, QStringLiteral(u"此处不能为空！"));
        QCOMPARE(parent, &m_owner);
    }

    void questionBox_data()
    {
        QTest::addColumn<int>("press");
        QTest::addColumn<bool>("yes");
        QTest::newRow("yes") << int(QMessageBox::Yes) << true;
        QTest::newRow("no") << int(QMessageBox::No) << false;
        QTest::newRow("enter takes the default") << -1 << false;
        QTest::newRow("escape") << -2 << false;
    }

    void questionBox()
    {
        QFETCH(int, press);
        QFETCH(bool, yes);
        QtPlatform platform;
        QString caption;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons buttons;
        QAbstractButton *defaultButton = nullptr;
        QAbstractButton *noButton = nullptr;
        whenModal([&](QWidget *modal) {
            auto *box = qobject_cast<QMessageBox *>(modal);
            QVERIFY(box);
            caption = box->windowTitle();
            icon = box->icon();
            buttons = box->standardButtons();
            defaultButton = box->defaultButton();
            noButton = box->button(QMessageBox::No);
            if (press == -1)
                QTest::keyClick(box, Qt::Key_Return);
            else if (press == -2)
                QTest::keyClick(box, Qt::Key_Escape);
            else
                box->button(QMessageBox::StandardButton(press))->click();
        });
        QCOMPARE(platform.askYesNo(&m_owner, QStringLiteral(u"现在打开吗？")), yes);
        QVERIFY(m_handled);
        QCOMPARE(caption, QStringLiteral(u"提示信息"));
        QCOMPARE(icon, QMessageBox::Question);
        QCOMPARE(buttons, QMessageBox::Yes | QMessageBox::No);
        QVERIFY(noButton);
        QCOMPARE(defaultButton, noButton);
    }

    void colourChooser()
    {
        QtPlatform platform;
        // Custom colours left from an earlier opening.
        QColorDialog::setCustomColor(0, QColor(Qt::red));
        QColorDialog::setCustomColor(15, QColor(Qt::green));
        QList<QColor> custom;
        QColor initial;
        QWidget *parent = nullptr;
        whenModal([&](QWidget *modal) {
            auto *dialog = qobject_cast<QColorDialog *>(modal);
            QVERIFY(dialog);
            for (int i = 0; i < QColorDialog::customCount(); ++i)
                custom.append(QColorDialog::customColor(i));
            initial = dialog->currentColor();
            parent = dialog->parentWidget();
            dialog->setCurrentColor(QColor(255, 0, 0));
            dialog->accept();
        });
        const auto chosen = platform.chooseColour(&m_owner);
        QVERIFY(m_handled);
        QCOMPARE(custom.size(), 16);
        for (const QColor &c : custom)
            QCOMPARE(c, QColor(Qt::black));
        QCOMPARE(parent, &m_owner);
        QVERIFY(chosen.has_value());
        QCOMPARE(*chosen, ColourValue(0xFF));

        // The next opening does not start from the colour chosen before.
        whenModal([&](QWidget *modal) {
            auto *dialog = qobject_cast<QColorDialog *>(modal);
            QVERIFY(dialog);
            initial = dialog->currentColor();
            dialog->setCurrentColor(QColor(0, 0, 255));
            dialog->reject();
        });
        QCOMPARE(platform.chooseColour(&m_owner), std::optional<ColourValue>());
        QVERIFY(m_handled);
        QVERIFY(initial != QColor(255, 0, 0));
    }
};

QTEST_MAIN(tst_Platform)
#include "tst_platform.moc"

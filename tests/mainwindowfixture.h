#pragma once

#include "app/frmmain.h"
#include "app/startup.h"
#include "scriptedplatform.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QLineEdit>
#include <QListView>
#include <QPoint>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>

namespace tarnwick {

// A GIF of 3 x 2 pixels; Qt reads GIF but does not write it.
inline const QByteArray gif3x2 = QByteArray::fromHex(
    "47494638396103000200f00000ff000000000021f90400000000002c0000000003000200000202845f003b");

inline bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// A flat picture of the given size, written by Qt in the given format.
inline bool writePicture(const QString &path, int width, int height, const char *format = "JPEG",
                         const QColor &fill = Qt::yellow)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(fill);
    return image.save(path, format);
}

// The real main window as the window tests drive it: a fresh temporary folder
// and scripted platform for each test, the window built over them with an INI
// file in that folder, and its controls found by object name. Test classes
// derive from it next to QObject and call resetFixture() from init() and
// m_window.reset() from cleanup(); the window itself opens only when a test
// asks, so each test can store settings first.
class MainWindowFixture
{
protected:
    explicit MainWindowFixture(QString iniName) : m_iniName(std::move(iniName)) {}

    std::unique_ptr<QTemporaryDir> m_dir;
    ScriptedPlatform m_platform;
    std::unique_ptr<frmMain> m_window;

    // Sets the application up as the program does; false outside a QApplication.
    static bool startApplication()
    {
        auto *app = qobject_cast<QApplication *>(QCoreApplication::instance());
        if (!app)
            return false;
        setUpApplication(*app);
        return true;
    }

    // A new empty folder and an untouched platform; false when no folder could be made.
    bool resetFixture()
    {
        m_window.reset();
        m_dir = std::make_unique<QTemporaryDir>();
        m_platform = ScriptedPlatform();
        return m_dir->isValid();
    }

    QString iniPath() const { return m_dir->filePath(m_iniName); }

    // A folder below the temporary one, made when missing.
    QString subfolder(const QString &name) const
    {
        const QString path = m_dir->filePath(name);
        QDir().mkpath(path);
        return path;
    }

    // Builds and shows the window, placed at `at` when given; whether it
    // became the active window.
    bool openWindow(std::optional<QPoint> at = std::nullopt)
    {
        m_window = std::make_unique<frmMain>(m_platform, iniPath());
        if (at)
            m_window->move(*at);
        m_window->show();
        return QTest::qWaitForWindowActive(m_window.get());
    }

    frmMain &open()
    {
        if (!openWindow())
            qWarning("main window did not become active");
        return *m_window;
    }

    template <typename W = QWidget>
    W *control(const QString &name) const
    {
        W *w = m_window->findChild<W *>(name);
        if (!w)
            qWarning("no control %s", qPrintable(name));
        return w;
    }

    void click(const QString &name) { QTest::mouseClick(control(name), Qt::LeftButton); }

    QString text(const QString &name) const { return control<QLineEdit>(name)->text(); }

    QString focused() const
    {
        const QWidget *w = QApplication::focusWidget();
        return w ? w->objectName() : QString();
    }

    // The browse command with the folder the user picks in its dialog ("" cancels).
    void browse(const QString &folder)
    {
        m_platform.folders.push_back(folder);
        click(QStringLiteral("Command1"));
    }

    QListView *list() const { return control<QListView>(QStringLiteral("List1")); }

    // The names List1 shows, top to bottom.
    QStringList entries() const
    {
        const QAbstractItemModel *model = list()->model();
        QStringList names;
        for (int row = 0; row < model->rowCount(); ++row)
            names.append(model->index(row, 0).data().toString());
        return names;
    }

    QString caption() const { return control<QGroupBox>(QStringLiteral("Frame1"))->title(); }

    // The four size boxes: book width and height, picture width and height.
    QStringList sizes() const
    {
        return {text(QStringLiteral("Text3(0)")), text(QStringLiteral("Text3(1)")),
                text(QStringLiteral("Text3(2)")), text(QStringLiteral("Text3(3)"))};
    }

private:
    QString m_iniName;
};

} // namespace tarnwick

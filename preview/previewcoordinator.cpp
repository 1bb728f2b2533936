#include "preview/previewcoordinator.h"

#include "pictures/picturelistview.h"
#include "preview/frmshowpic.h"

#include <QApplication>
#include <QCheckBox>
#include <QWidget>

namespace tarnwick {

bool isFormLoaded(const QString &name)
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (const QWidget *window : windows) {
        if (window->isVisible() && window->objectName() == name)
            return true;
    }
    return false;
}

PreviewCoordinator::PreviewCoordinator(QWidget *mainWindow, QCheckBox *check2, PictureListView *list1,
                                       PreviewHost &host, QObject *parent)
    : QObject(parent)
    , m_mainWindow(mainWindow)
    , m_check2(check2)
    , m_list1(list1)
    , m_host(host)
{
    // stateChanged, unlike clicked, also reports changes made in code: the
    // preview's own closing unticks the box and relies on this to close it.
    connect(m_check2, &QCheckBox::stateChanged, this, &PreviewCoordinator::check2Clicked);
    connect(m_list1, &QListView::clicked, this, &PreviewCoordinator::list1Clicked);
    connect(m_list1, &PictureListView::currentMovedByKey, this, &PreviewCoordinator::list1Clicked);
}

PreviewCoordinator::~PreviewCoordinator()
{
    delete m_preview.data();
}

bool PreviewCoordinator::previewLoaded() const
{
    return isFormLoaded(frmShowPic::windowName());
}

void PreviewCoordinator::check2Clicked()
{
    // A partly checked box counts as unticked.
    if (m_check2->checkState() == Qt::Checked) {
        if (!m_list1->currentIndex().isValid())
            return;
        // The new preview is placed from the main window's moved position.
        m_mainWindow->move(0, 0);
        showPreview();
        m_preview->FormLoad();
    } else if (previewLoaded()) {
        closePreview();
    }
}

void PreviewCoordinator::list1Clicked()
{
    if (m_check2->checkState() != Qt::Checked)
        return;
    if (!previewLoaded() || !m_preview)
        showPreview();
    m_preview->FormLoad();
}

void PreviewCoordinator::mainWindowClosing()
{
    if (previewLoaded())
        closePreview();
}

void PreviewCoordinator::showPreview()
{
    // A hidden preview has been closed and is waiting for its deferred
    // deletion; it must not come back, so a fresh one takes its place.
    if (m_preview && m_preview->isHidden()) {
        m_preview->deleteLater();
        m_preview.clear();
    }
    if (!m_preview)
        m_preview = new frmShowPic(m_host);
    m_preview->show();
}

void PreviewCoordinator::closePreview()
{
    if (m_preview)
        m_preview->close();
}

} // namespace tarnwick

#pragma once

#include <QObject>
#include "preview/frmshowpic.h"

#include <QPointer>
#include <QString>

class QCheckBox;
class QWidget;

namespace tarnwick {

class PictureList;
class PictureListView;
class PreviewHost;


// True when a window of the program with exactly this object name (letter
// case counts) is loaded, that is shown and not closed. A window that has been
// closed but whose deferred deletion is still pending is hidden, so it no
// longer counts; neither does one that was created and never shown.
bool isFormLoaded(const QString &name);

// Keeps the one preview window of the program in step with the main window's
// preview box Check2 and picture list List1. It connects to them itself:
// Check2's state changes (also those made in code), List1's clicks and its
// moves of the current entry by key. The current entry is the one of the
// selection model every view of the list shares. The list's navigation keys
// pressed in the preview go to List1, so the user can page through the
// pictures without leaving the preview. The main window only creates it and forwards its own
// close. The coordinator owns the preview: it creates it on
// demand, recreates it after every close, and deletes a remaining one when it
// is itself destroyed (the quit path, which runs no close handling).
class PreviewCoordinator : public QObject
{
    Q_OBJECT

public:
    PreviewCoordinator(QWidget *mainWindow, QCheckBox *check2, PictureListView *list1, PictureList &pictures,
                       PreviewHost &host, QObject *parent = nullptr);
    ~PreviewCoordinator() override;

    // The main window is closing: a preview still open closes with it.
    void mainWindowClosing();
    // Shows the current entry in the preview as ticking Check2 does; with
    // Check2 already ticked, as a click on the entry does.
    void showCurrentEntry();

    // The preview while it exists (it may be closed and awaiting deletion).
    frmShowPic *preview() const { return m_preview; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void check2Clicked();
    void list1Clicked();
    // Loads the current entry into an open preview when it shows another one.
    void followCurrentEntry();
    bool previewLoaded() const;
    void showPreview();
    void closePreview();

    QWidget *m_mainWindow;
    QCheckBox *m_check2;
    PictureListView *m_list1;
    PictureList &m_pictures;
    PreviewHost &m_host;
    QPointer<frmShowPic> m_preview;
};

} // namespace tarnwick

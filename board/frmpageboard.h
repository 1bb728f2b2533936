#pragma once

#include "book/booksettings.h"

#include <optional>

#include <QPoint>
#include <QSet>
#include <QString>
#include <QWidget>

namespace tarnwick {

class BoardNotice;
class PageBoardView;
class PictureList;
class PictureListController;
class ThumbnailLoader;
class WorkQueue;

// The page board: a second window over the main window's picture list that
// shows every page of the book as a tile and arranges them with the same
// selection, keys, menu, drag and drop and undo history as List1. It is a
// dialog of its owner, so window managers keep it with the main window. Its
// size, place and tile size are remembered in a small settings file of its
// own, apart from the book's settings; it opens within the screen, the first
// time beside the main window (placeBoardWindow).
class frmPageBoard : public QWidget
{
    Q_OBJECT

public:
    // settingsPath is the INI file the window's size and tile size are kept
    // in; thumbnailRoot the freedesktop "thumbnails" folder.
    frmPageBoard(PictureList &list, WorkQueue &queue, const QString &settingsPath, const QString &thumbnailRoot,
                 QWidget *owner);
    ~frmPageBoard() override;

    PageBoardView *view() const { return m_view; }
    PictureListController *controller() const { return m_controller; }
    // The line over the tiles that counts the pages the book will not show as they are.
    BoardNotice *problemNotice() const { return m_problemNotice; }
    // The line that counts the folder's pictures in other formats not listed.
    BoardNotice *convertNotice() const { return m_convertNotice; }
    // Shows that count; 0 hides the line.
    void setUnlistedPictureCount(qsizetype count);
    // The line that tells of pictures the folder's watch added.
    BoardNotice *joinedNotice() const { return m_joinedNotice; }
    // Says how many pictures joined the list, until the list next changes.
    void showJoined(int count);

    // "页面总览 - " and the listed folder.
    static QString titleFor(const QString &folder);

    void setBookSettings(const BookSettings &inputs);
    int tileSize() const;
    // Grows (steps > 0) or shrinks the tiles by kTileStep per step.
    void zoom(int steps);

    static constexpr int kTileStep = 32;
    static constexpr int kDefaultTileSize = 192;

Q_SIGNALS:
    // A tile was double-clicked or Enter pressed on it; it is the current entry.
    void pageActivated();
    // "导出电子书文件夹…" of the problem line was clicked.
    void exportRequested();
    // "转换为JPEG…" of the unlisted pictures' line was clicked.
    void convertRequested();

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void saveLayout() const;
    // Puts the window on the screen it opens on: where it was, or beside its owner.
    void placeOnScreen();
    // Follows one picture's facts, or every listed picture's after a new list.
    void noteFacts(const QStringList &names);
    void recountProblems();
    void showProblemCount();

    PictureList &m_list;
    QString m_settingsPath;
    // Where the window's frame stood when it was last open; none before the first opening.
    std::optional<QPoint> m_place;
    ThumbnailLoader *m_loader = nullptr;
    PageBoardView *m_view = nullptr;
    PictureListController *m_controller = nullptr;
    BoardNotice *m_problemNotice = nullptr;
    BoardNotice *m_convertNotice = nullptr;
    BoardNotice *m_joinedNotice = nullptr;
    // The listed pictures the book will not show as they are.
    QSet<QString> m_problems;
};

} // namespace tarnwick

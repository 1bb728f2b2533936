#pragma once

#include <QFrame>
#include <QImage>
#include <QPoint>
#include <QSize>
#include <QString>

class QLabel;

namespace tarnwick {

class PreviewHost;

// The picture preview: a borderless, fixed 640 x 480 viewer with a one-pixel
// frame that shows the main window's current picture at its natural size under
// a light-red info line, pans large pictures while the left button is held,
// and closes on a left double-click or on the release of Escape. F switches
// between that natural size and the whole picture fitted into the area.
//
// What is drawn goes onto a canvas image that paintEvent only copies to the
// screen, so a drawing stays until it is drawn over. The window deletes itself
// (deferred) when closed; the coordinator creates a new one for the next show.
class frmShowPic : public QFrame
{
    Q_OBJECT

public:
    static QString windowName();
    static constexpr QSize kViewSize{640, 480};

    // Places the window relative to host's main window; it is not shown yet.
    explicit frmShowPic(PreviewHost &host);
    ~frmShowPic() override;

    // Loads the main window's current entry, draws it at the origin and fills
    // in the info line. A file that is there but does not decode clears the
    // drawing area and says so in the info line; a missing or hidden file
    // leaves the picture and the info line as they were. The pan state returns
    // to the origin always.
    void FormLoad();

    // What the window shows and holds, for the main window and the tests.
    const QImage &canvas() const { return m_canvas; }
    QRect innerRect() const;   // the drawing area, in window coordinates
    QSize imageSize() const { return m_imageSize; }
    QPoint panOffset() const { return m_pan; }
    QPoint pressPoint() const { return m_press; }
    bool showsWholePicture() const { return m_fitted; }
    QLabel *infoLine() const { return m_label; }
    // The entry the window was last loaded with.
    QString shownEntry() const { return m_shownEntry; }

protected:
    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;

private:
    void closeByUser();
    void setInfoLine(const QString &text);
    void clearCanvas();
    void showOnCanvas(QPoint source, QSize size, QPoint target);
    void showLoadedImage();

    PreviewHost &m_host;
    QLabel *m_label = nullptr;
    QString m_shownEntry;
    QImage m_canvas;
    QImage m_loadedImage;
    QSize m_viewSize;
    QSize m_imageSize;
    QPoint m_press;
    QPoint m_pan;
    // A press inside the drawing area holds the pointer for this window until
    // every button is up; a press on the frame does not.
    bool m_holdsPointer = false;
    // F shows the whole picture, shrunk to fit and centred, instead of the
    // natural size; it stays so for the pictures loaded after it.
    bool m_fitted = false;
};

} // namespace tarnwick

#include "preview/frmshowpic.h"

#include "imaging/previewdecode.h"
#include "widgets/readablecolour.h"
#include "preview/panmath.h"
#include "imaging/previewdecode.h"
#include "preview/previewhost.h"

#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QWindow>

#include <cmath>

namespace tarnwick {

namespace {

const QColor kInfoLineColour(0xFF, 0x80, 0x80);
constexpr QPoint kInfoLinePosition(2, 2);
constexpr int kFrameWidth = 1;

QString exitHint()
{
    return QStringLiteral(u"双击鼠标左键或按ESC键退出");
}

// The info line: the entry's name, what is known of the picture, and the
// file's length.
QString infoText(const QString &entry, const QString &picture, qint64 bytes)
{
    return QStringLiteral(u"图片名称：") + entry + QStringLiteral(u"    ") + picture
        + QStringLiteral(u"    大小：") + QString::number(bytes) + QStringLiteral(u" 字节");
}

QString pixelSizeText(QSize size)
{
    return QStringLiteral(u"尺寸：") + QString::number(size.width()) + QStringLiteral(u" × ")
        + QString::number(size.height()) + QStringLiteral(u" 像素");
}

// A plain file that the folder listing would show: no folder, no device, no
// dot file. Relative paths are refused so that nothing is read from wherever
// the program happened to start.
bool isOrdinaryFile(const QFileInfo &info)
{
    return info.isAbsolute() && info.isFile() && !info.isHidden();
}

QPoint roundedPoint(QPointF p)
{
    return {roundHalfEven(p.x()), roundHalfEven(p.y())};
}

} // namespace

QString frmShowPic::windowName()
{
    return QStringLiteral("frmShowPic");
}

frmShowPic::frmShowPic(PreviewHost &host)
    // A dialog, not a plain window: on X11 only a dialog is made transient,
    // which keeps it over its owner and out of the task bar. The owner, the
    // main window, is given to the native window when shown (showEvent), not
    // as a widget parent: the coordinator alone decides when the preview goes.
    : QFrame(nullptr, Qt::Dialog | Qt::FramelessWindowHint)
    , m_host(host)
    , m_canvas(kViewSize, QImage::Format_RGB32)
{
    setObjectName(windowName());
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(kFrameWidth);
    setFixedSize(kViewSize + QSize(2 * kFrameWidth, 2 * kFrameWidth));
    setMouseTracking(true);
    setCursor(Qt::OpenHandCursor);
    clearCanvas();

    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("Label1"));
    QPalette labelPalette = m_label->palette();
    labelPalette.setColor(QPalette::WindowText,
                          readableTextColour(kInfoLineColour, labelPalette, QPalette::WindowText));
    m_label->setPalette(labelPalette);
    m_label->setAutoFillBackground(true);
    // Clicks, double-clicks and movements over the info line are the label's
    // and must not reach the window underneath.
    m_label->setAttribute(Qt::WA_NoMousePropagation);
    m_label->move(innerRect().topLeft() + kInfoLinePosition);
    m_label->adjustSize();

    move(previewPlacement(host.hostPosition(), host.hostClientSize()));
}

frmShowPic::~frmShowPic() = default;

QRect frmShowPic::innerRect() const
{
    return {QPoint(kFrameWidth, kFrameWidth), kViewSize};
}

void frmShowPic::FormLoad()
{
    const QString entry = m_host.currentEntry();
    m_shownEntry = entry;
    const QFileInfo file(m_host.pictureFolder() + entry);
    if (isOrdinaryFile(file)) {
        setWindowTitle(QStringLiteral(u"预览 - ") + entry);
        const qint64 bytes = file.size();
        m_loadedImage = decodePreviewPicture(file.filePath());
        m_viewSize = innerRect().size();
        clearCanvas();
        if (!m_loadedImage.isNull()) {
            m_imageSize = m_loadedImage.size();
            showLoadedImage();
            setInfoLine(infoText(entry, pixelSizeText(m_imageSize), bytes));
        } else {
            // The previous picture must not stay under the new name; with no
            // picture size there is nothing to pan either.
            m_imageSize = QSize();
            repaint(innerRect());
            setInfoLine(infoText(entry, unreadablePictureText(), bytes));
        }
    }
    m_pan = QPoint(0, 0);
    m_press = QPoint(0, 0);
}

void frmShowPic::setInfoLine(const QString &text)
{
    m_label->setText(text);
    m_label->adjustSize();
    const int left = static_cast<int>(std::floor((m_viewSize.width() - m_label->width()) / 2.0));
    m_label->move(innerRect().left() + left, m_label->y());
}

void frmShowPic::clearCanvas()
{
    m_canvas.fill(palette().color(QPalette::Window));
}

void frmShowPic::showOnCanvas(QPoint source, QSize size, QPoint target)
{
    {
        QPainter painter(&m_canvas);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.drawImage(target, m_loadedImage, QRect(source, size));
    }
    repaint(innerRect());
}

void frmShowPic::showLoadedImage()
{
    if (!m_fitted) {
        showOnCanvas(QPoint(0, 0), visibleSize(m_viewSize, m_imageSize), QPoint(0, 0));
        return;
    }
    const bool fits = m_imageSize.width() <= m_viewSize.width() && m_imageSize.height() <= m_viewSize.height();
    const QSize size = fits ? m_imageSize : m_imageSize.scaled(m_viewSize, Qt::KeepAspectRatio);
    const QPoint at((m_viewSize.width() - size.width()) / 2, (m_viewSize.height() - size.height()) / 2);
    {
        QPainter painter(&m_canvas);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRect(at, size), m_loadedImage);
    }
    repaint(innerRect());
}

void frmShowPic::showEvent(QShowEvent *event)
{
    // The native window exists by now and is not yet mapped: the window system
    // reads the owner (WM_TRANSIENT_FOR on X11) when the window is mapped.
    if (QWindow *handle = windowHandle())
        handle->setTransientParent(m_host.hostWindow());
    QFrame::showEvent(event);
}

void frmShowPic::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    const QRect inner = innerRect();
    const QRect exposed = event->rect() & inner;
    if (!exposed.isEmpty())
        painter.drawImage(exposed.topLeft(), m_canvas, exposed.translated(-inner.topLeft()));
    drawFrame(&painter);
}

void frmShowPic::mousePressEvent(QMouseEvent *event)
{
    if (!innerRect().contains(event->position().toPoint()))
        return;
    m_holdsPointer = true;
    if (event->buttons() == Qt::LeftButton)
        m_press = roundedPoint(event->position() - innerRect().topLeft());
}

void frmShowPic::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->buttons() == Qt::NoButton)
        m_holdsPointer = false;
}

void frmShowPic::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_holdsPointer && !innerRect().contains(event->position().toPoint()))
        return;
    if (event->buttons() == Qt::LeftButton) {
        // The whole picture is in view: nothing to pan.
        if (m_fitted)
            return;
        const QPointF pointer = event->position() - innerRect().topLeft();
        const std::optional<PanStep> step = panStep(m_pan, m_press, pointer, m_viewSize, m_imageSize);
        if (!step)
            return;
        // Clearing first keeps the earlier full-size drawing from showing
        // around a strip that is drawn at its centring offset.
        clearCanvas();
        showOnCanvas(step->source, step->size, step->target);
        m_pan = step->source;
    }
    m_label->setToolTip(exitHint());
}

void frmShowPic::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (!innerRect().contains(event->position().toPoint()))
        return;
    m_holdsPointer = true;
    if (event->button() == Qt::LeftButton)
        closeByUser();
}

void frmShowPic::keyReleaseEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && !event->isAutoRepeat()) {
        closeByUser();
    } else if (event->key() == Qt::Key_F && !event->isAutoRepeat()) {
        m_fitted = !m_fitted;
        if (!m_loadedImage.isNull()) {
            clearCanvas();
            showLoadedImage();
        }
        m_pan = QPoint(0, 0);
    } else {
        QFrame::keyReleaseEvent(event);
    }
}

void frmShowPic::closeByUser()
{
    // Unticking the main window's check box closes this window from inside the
    // call; the close only schedules the deletion, and the guard covers a host
    // that deletes more eagerly.
    const QPointer<frmShowPic> self(this);
    m_host.untickPreview();
    if (self && self->isVisible())
        self->close();
}

} // namespace tarnwick

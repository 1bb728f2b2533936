#pragma once

#include <QBasicTimer>
#include <QObject>
#include <QPoint>
#include <QPointer>

class QAbstractScrollArea;

namespace tarnwick {

// Pixels to scroll in one tick of a drag held near a view's top or bottom
// edge. distance is how far the pointer is inside the view from that edge
// (0 on it, negative past it), zone the depth of the edge band, heldTicks
// how many ticks the pointer has stayed in the band. The step grows with the
// square of the depth into the band and with the time held, up to one page
// a tick; outside the band it is 0.
int edgeScrollStep(int distance, int zone, int heldTicks, int pageStep);

// Scrolls a view while something is dragged over it: by edgeScrollStep
// while the pointer is in the band at the top or bottom edge, and by the
// wheel. Qt's own drag auto-scroll grows with time only, stops as soon as
// the pointer leaves the view, and the platform's drag swallows the wheel;
// this one keeps going past the edge and takes the wheel first.
class EdgeScroller : public QObject
{
    Q_OBJECT

public:
    explicit EdgeScroller(QAbstractScrollArea *view);
    ~EdgeScroller() override;

    static constexpr int kTickMs = 20;

    // The depth of the edge band for this view, in pixels.
    void setZone(int pixels) { m_zone = pixels; }
    int zone() const { return m_zone; }

    // A drag starts and ends: while it lasts the wheel scrolls the view
    // wherever the platform's drag would have taken it.
    void beginDrag();
    void endDrag();
    bool dragging() const { return m_dragging; }

    // The pointer is at this point of the viewport (outside it when it left
    // across an edge); scrolls while it is in an edge band.
    void track(const QPoint &position);
    // The pointer left, or the drag ended: no more edge scrolling.
    void stop();
    bool isScrolling() const { return m_timer.isActive(); }
    QPoint position() const { return m_position; }

Q_SIGNALS:
    // The view scrolled under the pointer.
    void scrolled();

protected:
    void timerEvent(QTimerEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Distance of the pointer from the nearer edge, negative past it; the
    // sign of the direction (-1 up, +1 down).
    std::pair<int, int> edgeDistance() const;

    QPointer<QAbstractScrollArea> m_view;
    QBasicTimer m_timer;
    QPoint m_position;
    int m_zone = 32;
    int m_heldTicks = 0;
    bool m_dragging = false;
    bool m_filtering = false;
};

} // namespace tarnwick

#include "board/edgescroller.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QCursor>
#include <QScrollBar>
#include <QTimer>
#include <QTimerEvent>
#include <QWheelEvent>
#include <QWindow>

#include <algorithm>
#include <cmath>

namespace tarnwick {

namespace {

// A tick's step when first held, and what each further tick adds: about
// 200 pixels a second at first, a page a tick after two seconds.
constexpr int kFirstStep = 4;
constexpr int kGrowthPerTick = 4;

} // namespace

int edgeScrollStep(int distance, int zone, int heldTicks, int pageStep)
{
    if (zone <= 0 || distance >= zone)
        return 0;
    const double depth = std::clamp(1.0 - double(distance) / zone, 0.0, 1.0);
    const int limit = std::min(std::max(1, pageStep), kFirstStep + kGrowthPerTick * std::max(0, heldTicks));
    return std::max(1, int(std::lround(depth * depth * limit)));
}

EdgeScroller::EdgeScroller(QAbstractScrollArea *view)
    : QObject(view)
    , m_view(view)
{
}

EdgeScroller::~EdgeScroller()
{
    if (m_filtering)
        qApp->removeEventFilter(this);
}

void EdgeScroller::beginDrag()
{
    m_dragging = true;
    // Installed once the platform's drag has put its own filter in place,
    // so that this one, the later, sees the wheel first.
    QTimer::singleShot(0, this, [this] {
        if (m_dragging && !m_filtering) {
            qApp->installEventFilter(this);
            m_filtering = true;
        }
    });
}

void EdgeScroller::endDrag()
{
    m_dragging = false;
    if (m_filtering) {
        qApp->removeEventFilter(this);
        m_filtering = false;
    }
    stop();
}

void EdgeScroller::track(const QPoint &position)
{
    m_position = position;
    if (edgeDistance().first >= m_zone) {
        stop();
        return;
    }
    if (!m_timer.isActive()) {
        m_heldTicks = 0;
        m_timer.start(kTickMs, Qt::PreciseTimer, this);
    }
}

void EdgeScroller::stop()
{
    m_timer.stop();
    m_heldTicks = 0;
}

std::pair<int, int> EdgeScroller::edgeDistance() const
{
    if (!m_view)
        return {m_zone, 0};
    const int height = m_view->viewport()->height();
    const int fromTop = m_position.y();
    const int fromBottom = height - 1 - m_position.y();
    return fromTop <= fromBottom ? std::pair(fromTop, -1) : std::pair(fromBottom, 1);
}

void EdgeScroller::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_timer.timerId() || !m_view) {
        QObject::timerEvent(event);
        return;
    }
    QWidget *viewport = m_view->viewport();
    if (m_dragging && !viewport->rect().contains(m_position)) {
        // Past the edge no drag event tells where the pointer is: ask for it.
        m_position = viewport->mapFromGlobal(QCursor::pos());
        const bool beside = m_position.x() < 0 || m_position.x() >= viewport->width();
        if (beside || viewport->rect().contains(m_position)) {
            stop();
            return;
        }
    }
    QScrollBar *bar = m_view->verticalScrollBar();
    const auto [distance, direction] = edgeDistance();
    const int step = edgeScrollStep(distance, m_zone, m_heldTicks++, bar->pageStep());
    const int before = bar->value();
    bar->setValue(before + direction * step);
    if (bar->value() == before) {
        // At the end of the list: nothing more to do until the pointer moves.
        if (step > 0)
            stop();
        return;
    }
    Q_EMIT scrolled();
}

bool EdgeScroller::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::Wheel || !m_dragging || !m_view)
        return QObject::eventFilter(watched, event);
    QWidget *viewport = m_view->viewport();
    const QPoint at = viewport->mapFromGlobal(QCursor::pos());
    const auto *wheel = static_cast<QWheelEvent *>(event);
    const bool over = viewport->rect().contains(at)
        || (watched == viewport || watched == m_view || watched == static_cast<QObject *>(m_view->window()->windowHandle()));
    if (!over || wheel->angleDelta().y() == 0)
        return QObject::eventFilter(watched, event);
    QScrollBar *bar = m_view->verticalScrollBar();
    const int lines = QApplication::wheelScrollLines() * wheel->angleDelta().y() / 120;
    bar->setValue(bar->value() - lines * bar->singleStep());
    Q_EMIT scrolled();
    return true;
}

} // namespace tarnwick

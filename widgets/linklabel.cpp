#include "widgets/linklabel.h"

#include "widgets/readablecolour.h"

#include <QAccessibleWidget>
#include <QMouseEvent>
#include <QPointer>

namespace tarnwick {

namespace {

class LinkLabelAccessible : public QAccessibleWidget
{
public:
    explicit LinkLabelAccessible(LinkLabel *label) : QAccessibleWidget(label, QAccessible::Button) {}

    QString text(QAccessible::Text t) const override
    {
        const auto *label = static_cast<const LinkLabel *>(widget());
        if (t == QAccessible::Name && label->accessibleName().isEmpty()) {
            // A swatch has no text: its tooltip says what it does.
            return label->text().trimmed().isEmpty() ? label->toolTip() : label->text();
        }
        return QAccessibleWidget::text(t);
    }

    QStringList actionNames() const override { return {pressAction()}; }

    void doAction(const QString &actionName) override
    {
        if (actionName != pressAction())
            return;
        // Queued: the command may open a modal chooser, and the assistive
        // technology's call must not wait for it to close.
        QPointer<LinkLabel> label(static_cast<LinkLabel *>(widget()));
        QMetaObject::invokeMethod(
            label, [label] { if (label) label->click(); }, Qt::QueuedConnection);
    }
};

QAccessibleInterface *linkLabelAccessible(const QString &, QObject *object)
{
    if (auto *label = qobject_cast<LinkLabel *>(object))
        return new LinkLabelAccessible(label);
    return nullptr;
}

} // namespace

LinkLabel::LinkLabel(const QString &text, QWidget *parent)
    : QLabel(text, parent)
{
    static const bool accessibleAsButton = [] {
        QAccessible::installFactory(&linkLabelAccessible);
        return true;
    }();
    Q_UNUSED(accessibleAsButton);
    QPalette blue = palette();
    blue.setColor(QPalette::WindowText, readableTextColour(QColor(0, 0, 255), blue, QPalette::Link));
    setPalette(blue);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
}

void LinkLabel::click()
{
    Q_EMIT clicked();
}

void LinkLabel::mousePressEvent(QMouseEvent *event)
{
    event->setAccepted(event->button() == Qt::LeftButton);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    event->accept();
    if (rect().contains(event->position().toPoint()))
        click();
}

} // namespace tarnwick

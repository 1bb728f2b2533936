#pragma once

#include <QLabel>

namespace tarnwick {

// A label that works as a mouse-only button: pointing-hand cursor, no
// keyboard focus, clicked() when the left button is released over it.
class ClickLabel : public QLabel
{
    Q_OBJECT

public:
    explicit ClickLabel(QWidget *parent = nullptr);

Q_SIGNALS:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    bool m_pressed = false;
};

} // namespace tarnwick

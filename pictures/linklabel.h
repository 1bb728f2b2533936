#pragma once

#include <QLabel>

namespace tarnwick {

// A label used as a button: blue text, pointing-hand cursor, no keyboard focus;
// clicked() fires when the left button is released over it.
class LinkLabel : public QLabel
{
    Q_OBJECT

public:
    explicit LinkLabel(const QString &text, QWidget *parent = nullptr);

Q_SIGNALS:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
};

} // namespace tarnwick

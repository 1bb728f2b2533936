#pragma once

#include <QLabel>

namespace tarnwick {

// A label used as a button: blue text, pointing-hand cursor, no keyboard focus;
// clicked() fires when the left button is released over it. Assistive
// technology sees it as a push button named by its text (or, without one, its
// tooltip) whose press action clicks it.
class LinkLabel : public QLabel
{
    Q_OBJECT

public:
    explicit LinkLabel(const QString &text, QWidget *parent = nullptr);

    // Runs what a click runs.
    void click();

Q_SIGNALS:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
};

} // namespace tarnwick

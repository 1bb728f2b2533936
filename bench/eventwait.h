#pragma once

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>

// The longest a user's input would have waited on the window's thread: a
// zero-interval timer on that thread notes the longest gap between two of
// its turns, from construction (or restart()) on.
class LongestEventWait
{
public:
    LongestEventWait()
    {
        m_turn.setInterval(0);
        QObject::connect(&m_turn, &QTimer::timeout, &m_turn, [this] {
            m_longest = std::max(m_longest, m_sinceTurn.nsecsElapsed());
            m_sinceTurn.restart();
        });
        restart();
    }

    void restart()
    {
        m_longest = 0;
        m_sinceTurn.start();
        m_turn.start();
    }
    void stop() { m_turn.stop(); }

    double longestMs() const { return double(m_longest) / 1e6; }

private:
    QTimer m_turn;
    QElapsedTimer m_sinceTurn;
    qint64 m_longest = 0;
};

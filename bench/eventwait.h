#pragma once

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>

#include <time.h>

// The longest a user's input would have waited on the window's thread: a
// precise timer on that thread turns every 2 ms, and the longest gap between
// two turns beyond those 2 ms is noted, from construction (or restart()) on.
// Between turns the thread sleeps, as the window's does, so the probe takes
// no core from the work it measures. The thread's own CPU time in that gap
// tells work from waiting for a core that other threads held.
class LongestEventWait
{
public:
    LongestEventWait()
    {
        m_turn.setTimerType(Qt::PreciseTimer);
        m_turn.setInterval(kIntervalNs / 1000000);
        QObject::connect(&m_turn, &QTimer::timeout, &m_turn, [this] {
            const qint64 gap = m_sinceTurn.nsecsElapsed() - kIntervalNs;
            const qint64 cpu = threadCpuNs();
            if (gap > m_longest) {
                m_longest = gap;
                m_longestCpu = cpu - m_cpuAtTurn;
            }
            m_sinceTurn.restart();
            m_cpuAtTurn = cpu;
        });
        restart();
    }

    void restart()
    {
        m_longest = 0;
        m_longestCpu = 0;
        m_sinceTurn.start();
        m_cpuAtTurn = threadCpuNs();
        m_turn.start();
    }
    void stop() { m_turn.stop(); }

    double longestMs() const { return double(m_longest) / 1e6; }
    // The window's thread's CPU time during the longest wait.
    double longestCpuMs() const { return double(m_longestCpu) / 1e6; }

private:
    static qint64 threadCpuNs()
    {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
    }

    static constexpr qint64 kIntervalNs = 2000000;
    QTimer m_turn;
    QElapsedTimer m_sinceTurn;
    qint64 m_cpuAtTurn = 0;
    qint64 m_longest = 0;
    qint64 m_longestCpu = 0;
};

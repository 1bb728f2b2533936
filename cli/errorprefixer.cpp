#include "cli/errorprefixer.h"

#include "book/regularfile.h"

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace tarnwick {

bool standardErrorIsTerminal()
{
    static const bool terminal = ::isatty(STDERR_FILENO);
    return terminal;
}

ErrorPrefixer::ErrorPrefixer(QByteArray prefix) : m_prefix(std::move(prefix))
{
    standardErrorIsTerminal();
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return;
    m_original = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    if (m_original < 0 || ::dup2(ends[1], STDERR_FILENO) < 0) {
        ::close(ends[0]);
        ::close(ends[1]);
        if (m_original >= 0)
            ::close(m_original);
        m_original = -1;
        return;
    }
    ::close(ends[1]);
    m_copier = std::thread(&ErrorPrefixer::copy, this, ends[0]);
}

ErrorPrefixer::~ErrorPrefixer()
{
    if (m_original < 0)
        return;
    std::fflush(stderr);
    // The pipe's last writer goes: the copier reads to its end and stops.
    ::dup2(m_original, STDERR_FILENO);
    m_copier.join();
    ::close(m_original);
}

void ErrorPrefixer::copy(int from)
{
    QByteArray heldBack;
    bool lineStart = true;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(from, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        heldBack.append(buffer, got > 0 ? qsizetype(got) : 0);
        const bool end = got <= 0;
        writeAll(m_original, prefixLines(m_prefix, heldBack, lineStart, end));
        if (end)
            break;
    }
    ::close(from);
}

QByteArray ErrorPrefixer::prefixLines(const QByteArray &prefix, QByteArray &heldBack, bool &lineStart, bool end)
{
    QByteArray out;
    qsizetype at = 0;
    while (at < heldBack.size()) {
        if (lineStart) {
            const QByteArrayView rest = QByteArrayView(heldBack).sliced(at);
            const qsizetype lineEnd = rest.indexOf('\n');
            const qsizetype returnAt = rest.indexOf('\r');
            const bool complete = lineEnd >= 0 || returnAt >= 0;
            if (rest.size() < prefix.size() && !complete && !end && prefix.startsWith(rest))
                break;
            // A carriage return or line feed alone starts no line of its own.
            if (!rest.startsWith(prefix) && rest.front() != '\n' && rest.front() != '\r')
                out += prefix;
            lineStart = false;
        }
        qsizetype next = at;
        while (next < heldBack.size() && heldBack[next] != '\n' && heldBack[next] != '\r')
            ++next;
        if (next < heldBack.size()) {
            out += QByteArrayView(heldBack).sliced(at, next + 1 - at);
            lineStart = true;
            at = next + 1;
        } else {
            out += QByteArrayView(heldBack).sliced(at);
            at = heldBack.size();
        }
    }
    heldBack.remove(0, at);
    if (end && !heldBack.isEmpty()) {
        out += heldBack;
        heldBack.clear();
    }
    if (end && !lineStart)
        out += '\n';
    return out;
}

} // namespace tarnwick

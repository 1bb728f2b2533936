#pragma once

#include <QByteArray>

#include <thread>

namespace tarnwick {

// Puts the program's name before every line written to standard error,
// whoever writes it: Tarnwick's own lines carry it already, but a picture
// library (libpng's default error handler, a codec) writes its complaints
// straight to file descriptor 2. While it exists, descriptor 2 is a pipe that
// a thread of its own copies to the real standard error, a line (ended by a
// line feed or, for a counter redrawn in place, a carriage return) at a time,
// adding the prefix where a line lacks it. Whether standard error is a
// terminal is asked of it before that (standardErrorIsTerminal()).
class ErrorPrefixer
{
public:
    explicit ErrorPrefixer(QByteArray prefix);
    ~ErrorPrefixer();
    ErrorPrefixer(const ErrorPrefixer &) = delete;
    ErrorPrefixer &operator=(const ErrorPrefixer &) = delete;

    // Adds the prefix to the lines of text, a piece of a longer text; lineStart
    // says whether a line begins with it and is left as the text leaves it.
    // Returns what is decided; held back is text too short yet to tell
    // whether it begins with the prefix.
    static QByteArray prefixLines(const QByteArray &prefix, QByteArray &heldBack, bool &lineStart, bool end);

private:
    void copy(int from);

    QByteArray m_prefix;
    int m_original = -1;
    std::thread m_copier;
};

// Whether standard error is a terminal; asked once, before an ErrorPrefixer
// turns it into a pipe.
bool standardErrorIsTerminal();

} // namespace tarnwick

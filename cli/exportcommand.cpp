#include "cli/exportcommand.h"

#include "cli/errorprefixer.h"
#include "book/bookcheck.h"
#include "export/bookexport.h"
#include "export/exporttask.h"
#include "export/picturefacts.h"
#include "session/booksession.h"

#include <cstdio>

#include <unistd.h>

namespace tarnwick {

std::optional<int> parseMaxScale(const QString &text)
{
    bool ok = false;
    const int scale = text.toInt(&ok);
    if (!ok || scale < BookExport::kLeastScale || scale > BookExport::kMostScale)
        return std::nullopt;
    return scale;
}

MakeResult runExportCommand(BookSession &session, const BookSettings &settings, const QString &target,
                            int maxScale, const QString &problemsBefore)
{
    if (const std::optional<CheckFailure> failure = checkBook(settings))
        return {MakeCheckFailed, QString(), problemsBefore + QStringLiteral("tarnwick-make: ") + failure->message + u'\n'};
    auto run = std::make_unique<BookExport>(settings, target, maxScale, readExportFacts);
    const QString path = run->target();
    // A count on standard error while the pictures are written, when that is a terminal.
    std::function<void(qsizetype, qsizetype)> progress;
    if (standardErrorIsTerminal()) {
        progress = [](qsizetype done, qsizetype total) {
            std::fprintf(stderr, "\rtarnwick-make: exporting pictures: %lld of %lld", static_cast<long long>(done),
                         static_cast<long long>(total));
            if (done == total)
                std::fputc('\n', stderr);
            std::fflush(stderr);
        };
    }
    const std::optional<ExportFailure> failure = ExportTask::runAndWait(std::move(run), session.queue(), progress);
    if (!failure)
        return {MakeWritten, path + u'\n', problemsBefore};
    QString text = problemsBefore + QStringLiteral("tarnwick-make: cannot export to ") + path;
    if (!failure->picture.isEmpty())
        text += QStringLiteral(": ") + failure->picture;
    return {MakeWriteFailed, QString(), text + QStringLiteral(": ") + failure->reason + u'\n'};
}

} // namespace tarnwick

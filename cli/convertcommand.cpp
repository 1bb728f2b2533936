#include "cli/convertcommand.h"

#include "cli/errorprefixer.h"
#include "convert/conversiontask.h"
#include "session/booksession.h"

#include <cstdio>

#include <unistd.h>

namespace tarnwick {

MakeResult runConvertCommand(BookSession &session, quint32 background)
{
    const std::vector<ConversionItem> items = planConversion(session.otherPictures());
    // A count on standard error while the pictures are converted, when that is a terminal.
    std::function<void(size_t)> done;
    qsizetype count = 0;
    if (standardErrorIsTerminal()) {
        done = [&count, total = items.size()](size_t) {
            ++count;
            std::fprintf(stderr, "\rtarnwick-make: converting pictures: %lld of %lld", static_cast<long long>(count),
                         static_cast<long long>(total));
            if (size_t(count) == total)
                std::fputc('\n', stderr);
            std::fflush(stderr);
        };
    }
    const std::vector<ConversionResult> results =
        ConversionTask::runAndWait(session.folder(), items, background, session.queue(), done);
    MakeResult result{MakeWritten, QString(), QString()};
    for (size_t i = 0; i < items.size(); ++i) {
        const QString source = printableName(items[i].source);
        const QString target = printableName(items[i].target);
        switch (results[i].kind) {
        case ConversionResult::Kind::Written:
            result.standardOutput += source + QStringLiteral(" -> ") + target + u'\n';
            break;
        case ConversionResult::Kind::Skipped:
            result.standardError += QStringLiteral("tarnwick-make: skipped, %1 already exists: %2\n").arg(target, source);
            break;
        case ConversionResult::Kind::Failed:
        case ConversionResult::Kind::Cancelled:
            result.exitCode = MakeNotConverted;
            result.standardError += QStringLiteral("tarnwick-make: cannot convert %1: %2\n")
                                        .arg(source, printableName(results[i].reason));
            break;
        }
    }
    return result;
}

} // namespace tarnwick

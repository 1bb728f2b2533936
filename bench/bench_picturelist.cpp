// List1 at its largest: the five list commands on 32,767 entries with every
// other one selected, each timed up to the repaint of the view, arranging the
// list by a book's pages, and the folder scan plus refill of a folder holding
// 32,767 pictures. The commands, undo and redo are timed with List1 alone and
// with a second view on the same model and selection (Arg 1), as the page
// board will be.

#include "list/listcommands.h"
#include "facts/picturefolder.h"
#include "list/picturelist.h"
#include "widgets/undostackhistory.h"
#include "widgets/picturelistcontroller.h"
#include "list/picturelistmodel.h"
#include "widgets/picturelistview.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QItemSelection>
#include <QItemSelectionModel>
#include <QListView>
#include <QTemporaryDir>

#include <algorithm>
#include <memory>
#include <random>

using namespace tarnwick;

namespace {

constexpr int kEntries = 32767;

QString pageName(int i)
{
    return QStringLiteral("page%1.gif").arg(i, 5, 10, QLatin1Char('0'));
}

QStringList pageNames()
{
    QStringList names;
    names.reserve(kEntries);
    for (int i = 0; i < kEntries; ++i)
        names.append(pageName(i));
    return names;
}

struct ShownList {
    PictureListView view;
    UndoStackHistory history;
    PictureList list;
    PictureListModel &model = *list.model();
    PictureListController controller{&view, list};
    std::unique_ptr<QListView> second;

    explicit ShownList(bool secondView = false)
    {
        list.setHistory(&history);
        view.resize(300, 400);
        view.show();
        if (secondView) {
            second = std::make_unique<QListView>();
            PictureListController::showList(second.get(), list);
            PictureListController::configureView(second.get());
            second->resize(300, 400);
            second->show();
        }
        QApplication::processEvents();
    }

    void repaint()
    {
        view.viewport()->repaint();
        if (second)
            second->viewport()->repaint();
    }

    // A fresh list with every other entry selected, in one selection.
    void reset(const QStringList &names)
    {
        list.setListing(QString(), names);
        QItemSelection selection;
        // Odd rows: the first and the last entry stay unselected, so every
        // command has work to do.
        for (int row = 1; row < model.rowCount(); row += 2)
            selection.append(QItemSelectionRange(model.index(row)));
        list.selectionModel()->select(selection, QItemSelectionModel::Select);
        repaint();
    }
};

// Times one change of a freshly reset list, the repaint of the view included.
template <typename Change>
void timeChange(benchmark::State &state, ShownList &list, const QStringList &names, Change change)
{
    for (auto _ : state) {
        state.PauseTiming();
        list.reset(names);
        state.ResumeTiming();
        benchmark::DoNotOptimize(change(list.list));
        list.repaint();
    }
}

void BM_ListCommand(benchmark::State &state)
{
    const auto command = ListCommand(state.range(0));
    ShownList list(state.range(1) == 1);
    timeChange(state, list, pageNames(), [command](PictureList &c) { return c.run(command); });
    state.SetLabel(listCommandCaption(command).toStdString() + (list.second ? " + second view" : ""));
}

// Undo and redo of one command step (Arg 0: undo, 1: redo; then the second
// view; then the command).
void BM_UndoRedo(benchmark::State &state)
{
    const QStringList names = pageNames();
    ShownList list(state.range(1) == 1);
    const auto command = ListCommand(state.range(2));
    for (auto _ : state) {
        state.PauseTiming();
        list.reset(names);
        list.list.run(command);
        if (state.range(0) == 1)
            list.history.stack()->undo();
        list.repaint();
        state.ResumeTiming();
        if (state.range(0) == 0)
            list.history.stack()->undo();
        else
            list.history.stack()->redo();
        list.repaint();
    }
    state.SetLabel(std::string(state.range(0) == 0 ? "undo " : "redo ") + listCommandCaption(command).toStdString()
                   + (list.second ? " + second view" : ""));
}

// A drop of every other entry into the middle of the list.
void BM_DragMove(benchmark::State &state)
{
    ShownList list;
    timeChange(state, list, pageNames(),
               [](PictureList &c) { return c.moveSelectedTo(kEntries / 2 + 1); });
}

// The whole-list orders on scan names 1.jpg ... 32767.jpg as the name order
// lists them (1, 10, 100, ...).
void BM_Arrange(benchmark::State &state)
{
    const auto order = ListOrder(state.range(0));
    QStringList names;
    for (int i = 1; i <= kEntries; ++i)
        names.append(QStringLiteral("%1.jpg").arg(i));
    sortPictureNames(names);
    ShownList list;
    timeChange(state, list, names, [order](PictureList &c) { return c.arrange(order); });
    state.SetLabel(listOrderMenuText(order).toStdString());
}

// Arranging the list by a book of the same pictures in a shuffled order, with
// ten of them gone from the folder and ten pages the folder lacks.
void BM_ArrangeByPages(benchmark::State &state)
{
    const QStringList names = pageNames();
    QStringList pages = names;
    std::shuffle(pages.begin(), pages.end(), std::mt19937(7));
    pages.remove(0, 10);
    for (int i = 0; i < 10; ++i)
        pages.insert(i * 1000, QStringLiteral("gone%1.jpg").arg(i));
    ShownList list;
    qsizetype missing = 0;
    timeChange(state, list, names, [&pages, &missing](PictureList &c) {
        QStringList gone;
        const ListEditOutcome outcome = c.arrangeByPages(pages, QStringLiteral("book"), &gone);
        missing = gone.size();
        return outcome;
    });
    if (missing != 10 || list.model.rowCount() != kEntries)
        state.SkipWithError("the arrangement lost or invented entries");
}

// The scan target: listing a folder of 32,767 pictures and filling List1.
void BM_ScanAndRefill(benchmark::State &state)
{
    static QTemporaryDir dir;
    static const bool made = [] {
        for (int i = 0; i < kEntries; ++i) {
            QFile file(dir.filePath(pageName(i)));
            if (!file.open(QIODevice::WriteOnly))
                return false;
        }
        return true;
    }();
    if (!dir.isValid() || !made) {
        state.SkipWithError("cannot make the picture folder");
        return;
    }
    ShownList list;
    const QString folder = dir.path() + QLatin1Char('/');
    qsizetype count = 0;
    for (auto _ : state) {
        const QStringList names = listPictures(folder).value_or(QStringList());
        list.list.setListing(folder, names);
        list.repaint();
        count = names.size();
    }
    if (count != kEntries)
        state.SkipWithError("the scan missed pictures");
}

} // namespace

BENCHMARK(BM_ListCommand)
    ->ArgsProduct({{int(ListCommand::MoveToTop), int(ListCommand::MoveUp), int(ListCommand::MoveToBottom),
                    int(ListCommand::MoveDown), int(ListCommand::Remove)},
                   {0, 1}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UndoRedo)
    ->ArgsProduct({{0, 1}, {0, 1}, {int(ListCommand::MoveDown), int(ListCommand::Remove)}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DragMove)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Arrange)
    ->Arg(int(ListOrder::Name))
    ->Arg(int(ListOrder::Numeric))
    ->Arg(int(ListOrder::Reverse))
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ArrangeByPages)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScanAndRefill)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::benchmark::Initialize(&argc, argv);
    ::benchmark::RunSpecifiedBenchmarks();
    ::benchmark::Shutdown();
    return 0;
}

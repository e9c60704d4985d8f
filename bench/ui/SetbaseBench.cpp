// Moving parameters between the lists of the base value setting dialog, on list boxes set up
// as the dialog's: of N names every one (step 1, as after Ctrl+A) or every tenth (step 10) is
// selected and moved into an empty group list, and all of them back. Baseline: N items
// appended to a list and cleared again, twice, which a move of N items costs at least. The
// ratio stays flat as N grows when a move is linear.

#include <benchmark/benchmark.h>

#include "BenchApplication.h"
#include "Setbase.h"

#include <QItemSelection>
#include <QListWidget>

#include <memory>

namespace {

using namespace altrix;

std::unique_ptr<QListWidget> ListBox() {
    auto list = std::make_unique<QListWidget>();
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setSortingEnabled(true);
    list->setUniformItemSizes(true);
    return list;
}

QString Name(int i) {
    return QStringLiteral("P%1").arg(i, 7, 10, QLatin1Char('0'));
}

void SelectEvery(QListWidget& list, int step) {
    QItemSelection selection;
    for (int row = 0; row < list.count(); row += step)
        selection.select(list.model()->index(row, 0), list.model()->index(row, 0));
    list.selectionModel()->select(selection, QItemSelectionModel::Select);
}

void MoveSelectedItems(benchmark::State& state) {
    bench::Application();
    const int count = static_cast<int>(state.range(0));
    const int step = static_cast<int>(state.range(1));
    const auto source = ListBox();
    const auto target = ListBox();
    source->setSortingEnabled(false);
    for (int i = 0; i < count; ++i) source->addItem(Name(i));
    source->setSortingEnabled(true);
    for (auto _ : state) {
        SelectEvery(*source, step);
        TForm3::MoveSelectedItems(*source, *target);
        target->selectAll();
        TForm3::MoveSelectedItems(*target, *source);
    }
    if (source->count() != count || target->count() != 0) state.SkipWithError("items lost");
}

void MoveSelectedItems_Baseline(benchmark::State& state) {
    bench::Application();
    const int count = static_cast<int>(state.range(0));
    const auto list = ListBox();
    for (auto _ : state) {
        for (int pass = 0; pass < 2; ++pass) {
            list->setSortingEnabled(false);
            for (int i = 0; i < count; ++i) list->addItem(Name(i));
            list->clear();
        }
    }
}

void Sizes(benchmark::internal::Benchmark* bench) {
    for (const int step : {1, 10})
        for (const int count : {10000, 40000, 100000}) bench->Args({count, step});
}

BENCHMARK(MoveSelectedItems_Baseline)->Apply(Sizes)->Unit(benchmark::kMillisecond);
BENCHMARK(MoveSelectedItems)->Apply(Sizes)->Unit(benchmark::kMillisecond);

}  // namespace

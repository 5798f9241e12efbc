// Times the results screen over the real model and window on a comparison with 1,000,000 differences
// (500,000 changed, 250,000 only in File A, 250,000 only in File B; three columns each side): showing
// the screen, turning a page, changing the filter, selecting a record on the page and one off it.
// Then a record with 2,000 changed fields: the time from selecting it to the inspector's first
// complete paint.
//
// Usage: bench_results_screen [data folder]   (generated files are kept there and reused)

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <QApplication>
#include <QPushButton>
#include <QThread>

#include "bench/support/DataGenerator.h"
#include "bench/support/ProcessMeasurement.h"
#include "model/ComparisonModel.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/QtFileDialogs.h"

namespace {

using namespace rowlark;
using bench::writeOnce;
namespace fs = std::filesystem;

constexpr int runs = 7;
constexpr std::size_t changedRows = 500'000;
constexpr std::size_t onlyLeftRows = 250'000;
constexpr std::size_t onlyRightRows = 250'000;
constexpr std::size_t wideColumns = 2'000;
constexpr std::size_t wideRows = 4;

void writeLongTable(std::ofstream& out, bool isLeft)
{
    out << "id,value,note\n";
    for (std::size_t id = 1; id <= changedRows; ++id)
        out << id << ",v" << id << (isLeft ? "a" : "b") << ",note " << id << "\n";
    const std::size_t first = changedRows + (isLeft ? 0 : onlyLeftRows) + 1;
    const std::size_t count = isLeft ? onlyLeftRows : onlyRightRows;
    for (std::size_t id = first; id < first + count; ++id)
        out << id << ",v" << id << ",note " << id << "\n";
}

void writeWideTable(std::ofstream& out, bool isLeft)
{
    out << "id";
    for (std::size_t column = 1; column < wideColumns; ++column)
        out << ",field_" << column;
    out << "\n";
    for (std::size_t row = 1; row <= wideRows; ++row) {
        out << row;
        for (std::size_t column = 1; column < wideColumns; ++column)
            out << ",value " << row << "." << column << (isLeft ? " before" : " after");
        out << "\n";
    }
}

void waitFor(const std::function<bool()>& condition)
{
    while (!condition()) {
        QApplication::processEvents();
        QThread::msleep(2);
    }
}

void compareFiles(model::ComparisonModel& model, const fs::path& left, const fs::path& right)
{
    model.load(QString::fromStdString(left.string()), true);
    waitFor([&] { return !model.isBusy(); });
    model.load(QString::fromStdString(right.string()), false);
    waitFor([&] { return !model.isBusy(); });
    model.compare();
    waitFor([&] { return !model.isBusy() && !model.isFiltering(); });
}

// Runs `action`, then lets the window settle and paints it; the median of `runs` runs, in milliseconds.
double medianMilliseconds(
    QWidget& window, const std::function<void(int)>& action, const std::function<bool()>& isDone = [] { return true; })
{
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        QApplication::processEvents();
        const auto start = std::chrono::steady_clock::now();
        action(run);
        QApplication::processEvents();
        waitFor(isDone);
        window.repaint();
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    return bench::medianOf(times);
}

void report(const char* what, double milliseconds)
{
    std::printf("  %-44s %9.2f ms\n", what, milliseconds);
    std::fflush(stdout);
}

void benchLongResult(const fs::path& folder)
{
    const fs::path left = writeOnce(folder, "screen-long-a.csv", [](std::ofstream& out) { writeLongTable(out, true); });
    const fs::path right =
        writeOnce(folder, "screen-long-b.csv", [](std::ofstream& out) { writeLongTable(out, false); });
    model::ComparisonModel model(std::make_shared<ui::shell::QtFileDialogs>());
    ui::shell::MainWindow window(model);
    window.resize(1320, 850);
    window.show();
    compareFiles(model, left, right);
    std::printf(
        "Results screen, %zu differences (%zu changed, %zu only in File A, %zu only in File B), median of %d:\n",
        model.summary()->differences.size(), changedRows, onlyLeftRows, onlyRightRows, runs);

    report("show the results screen", medianMilliseconds(window, [&](int) {
               model.setTab(model::WorkspaceTab::mapping);
               QApplication::processEvents();
               model.setTab(model::WorkspaceTab::results);
           }));
    auto* next = window.findChild<QPushButton*>(QStringLiteral("nextPageButton"));
    report("next page", medianMilliseconds(window, [&](int) { next->click(); }));
    report("change the filter (changed / all)",
           medianMilliseconds(
               window,
               [&](int run) {
                   model.setFilter(run % 2 == 0 ? records::ResultFilter::changed : records::ResultFilter::all);
               },
               [&] { return !model.isFiltering(); }));
    report("select a record on the page", medianMilliseconds(window, [&](int run) {
               const std::size_t position = model::ComparisonModel::pageSize * model.pageNumber() + 1 + run % 50;
               model.setSelectedRowID(model.summary()->differences[model.filteredIndices()[position]].id);
           }));
    report("select a record off the page (last)", medianMilliseconds(window, [&](int run) {
               const auto& differences = model.summary()->differences;
               model.setSelectedRowID(differences[differences.size() - 1 - run % 2].id);
           }));
}

void benchWideRecord(const fs::path& folder)
{
    const fs::path left = writeOnce(folder, "screen-wide-a.csv", [](std::ofstream& out) { writeWideTable(out, true); });
    const fs::path right =
        writeOnce(folder, "screen-wide-b.csv", [](std::ofstream& out) { writeWideTable(out, false); });
    model::ComparisonModel model(std::make_shared<ui::shell::QtFileDialogs>());
    ui::shell::MainWindow window(model);
    window.resize(1320, 850);
    window.show();
    compareFiles(model, left, right);
    const auto& differences = model.summary()->differences;
    std::printf("Inspector, records of %zu fields each side, %zu changed fields each, median of %d:\n", wideColumns,
                differences.front().cells.size(), runs);
    report("select a record until its first paint", medianMilliseconds(window, [&](int run) {
               model.setSelectedRowID(differences[static_cast<std::size_t>(run + 1) % differences.size()].id);
           }));
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const fs::path folder = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "rowlark-bench-results-screen";
    fs::create_directories(folder);
    benchWideRecord(folder);
    benchLongResult(folder);
    return 0;
}

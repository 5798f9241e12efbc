// Times the mapping screen over two wide CSV files loaded through the model: from constructing the
// screen to its first complete paint, and scrolling through the whole list one wheel step at a time.
//
// Usage: bench_mapping_screen [data folder] [column count ...]   (default 1000; each count is run)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QScrollBar>
#include <QVBoxLayout>

#include "bench/support/ProcessMeasurement.h"
#include "model/ComparisonModel.h"
#include "ui/mapping/MappingList.h"
#include "ui/mapping/MappingView.h"
#include "ui/shell/QtFileDialogs.h"

namespace {

using namespace rowlark;
using Clock = std::chrono::steady_clock;

constexpr int runs = 5;
constexpr std::size_t rowCount = 300;

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Headers such as "Billing Account 17"; File B renames every seventh one and drops every tenth prefix.
std::string header(std::size_t column, bool isRight)
{
    static const char* prefixes[] = {"Billing", "Shipping", "Home", "Work", "Primary"};
    static const char* fields[] = {"Account", "Email", "Phone", "City", "Amount", "Status", "Notes"};
    std::string name =
        std::string(prefixes[column % 5]) + " " + fields[(column / 5) % 7] + " " + std::to_string(column);
    if (isRight && column % 7 == 3)
        name += " (new)";
    if (isRight && column % 10 == 9)
        name = name.substr(name.find(' ') + 1);
    return name;
}

std::filesystem::path writeWideFile(const std::filesystem::path& folder, std::size_t columns, bool isRight)
{
    const std::filesystem::path path =
        folder / ("mapping-" + std::to_string(columns) + (isRight ? "-after.csv" : "-before.csv"));
    if (std::filesystem::exists(path))
        return path;
    std::ofstream out(path.string() + ".tmp", std::ios::binary);
    for (std::size_t column = 0; column < columns; ++column)
        out << (column ? "," : "") << header(column, isRight);
    out << '\n';
    for (std::size_t row = 1; row <= rowCount; ++row) {
        for (std::size_t column = 0; column < columns; ++column)
            out << (column ? "," : "") << (column == 0 ? row : (row * 31 + column * 7) % 997);
        out << '\n';
    }
    out.close();
    std::filesystem::rename(path.string() + ".tmp", path);
    return path;
}

void waitUntilIdle(const model::ComparisonModel& model)
{
    while (model.isBusy())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
}

struct ScrollFigures {
    double medianStep;
    double worstStep;
    int steps;
};

// The screen alone in a window as wide as the main window's default, shown and laid out.
std::unique_ptr<QWidget> shownScreen(model::ComparisonModel& model)
{
    auto window = std::make_unique<QWidget>();
    window->resize(1320, 560);
    auto* layout = new QVBoxLayout(window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new ui::mapping::MappingView(model, window.get()));
    window->show();
    QCoreApplication::processEvents();
    return window;
}

// Opens the screen and paints it completely once.
double openScreen(model::ComparisonModel& model)
{
    const Clock::time_point start = Clock::now();
    const std::unique_ptr<QWidget> window = shownScreen(model);
    window->grab();
    return millisecondsSince(start);
}

// Opens the first row's drop-down list, which offers every ordinary column of File B.
double openDropDown(model::ComparisonModel& model)
{
    const std::unique_ptr<QWidget> window = shownScreen(model);
    auto* picker = window->findChild<ui::mapping::MappingList*>(QStringLiteral("mappingList"))
                       ->rowWidget(0)
                       ->findChild<QComboBox*>(QStringLiteral("matchPicker"));
    const Clock::time_point start = Clock::now();
    picker->showPopup();
    QCoreApplication::processEvents();
    picker->view()->grab();
    const double elapsed = millisecondsSince(start);
    picker->hidePopup();
    return elapsed;
}

ScrollFigures scrollThrough(model::ComparisonModel& model)
{
    const std::unique_ptr<QWidget> window = shownScreen(model);
    auto* list = window->findChild<ui::mapping::MappingList*>(QStringLiteral("mappingList"));
    QScrollBar* bar = list->verticalScrollBar();
    const int step = bar->singleStep() * QApplication::wheelScrollLines();
    std::vector<double> times;
    for (int value = step; value <= bar->maximum() + step - 1; value += step) {
        const Clock::time_point start = Clock::now();
        bar->setValue(std::min(value, bar->maximum()));
        QCoreApplication::processEvents();
        // Rows that scrolled out are deleted once control is back in the event loop, as it would be in the app.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        list->viewport()->grab();
        times.push_back(millisecondsSince(start));
    }
    return {bench::medianOf(times), *std::max_element(times.begin(), times.end()), static_cast<int>(times.size())};
}

void measure(const std::filesystem::path& folder, std::size_t columns)
{
    auto dialogs = std::make_shared<ui::shell::QtFileDialogs>();
    model::ComparisonModel model(dialogs);
    const Clock::time_point loading = Clock::now();
    model.load(QString::fromStdString(writeWideFile(folder, columns, false).string()), true);
    waitUntilIdle(model);
    model.load(QString::fromStdString(writeWideFile(folder, columns, true).string()), false);
    waitUntilIdle(model);
    const double analysisSeconds = millisecondsSince(loading) / 1000;
    if (model.mappings().size() != columns) {
        std::fprintf(stderr, "the analysis gave %zu mappings for %zu columns\n", model.mappings().size(), columns);
        std::exit(1);
    }

    std::vector<double> openings;
    for (int run = 0; run < runs; ++run)
        openings.push_back(openScreen(model));
    std::vector<double> dropDowns;
    for (int run = 0; run < runs; ++run)
        dropDowns.push_back(openDropDown(model));
    std::vector<double> medians;
    std::vector<double> worsts;
    int steps = 0;
    for (int run = 0; run < runs; ++run) {
        const ScrollFigures figures = scrollThrough(model);
        medians.push_back(figures.medianStep);
        worsts.push_back(figures.worstStep);
        steps = figures.steps;
    }
    std::printf("%zu x %zu columns, %zu rows (loading and analysis %.1f s)\n", columns, columns, rowCount,
                analysisSeconds);
    std::printf("  open to first complete paint: median %.1f ms of %d runs\n", bench::medianOf(openings), runs);
    std::printf("  open a drop-down list of %zu entries: median %.1f ms\n", columns + 1, bench::medianOf(dropDowns));
    std::printf("  scroll through %d steps: median step %.2f ms, worst step %.1f ms (medians of %d runs)\n", steps,
                bench::medianOf(medians), bench::medianOf(worsts), runs);
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::filesystem::path folder =
        argc > 1 ? std::filesystem::path(argv[1]) : std::filesystem::temp_directory_path() / "rowlark-bench";
    std::filesystem::create_directories(folder);
    std::vector<std::size_t> counts;
    for (int argument = 2; argument < argc; ++argument)
        counts.push_back(std::strtoul(argv[argument], nullptr, 10));
    if (counts.empty())
        counts.push_back(1000);
    for (const std::size_t columns : counts)
        measure(folder, columns);
    return 0;
}

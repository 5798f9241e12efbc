// Times how long the interface thread is busy at a stretch while the record inspector shows records
// with very long values or very many fields, over the real model and window: a record whose cells
// are single 5 MB tokens, one with a 1,000,000-character token, one of 10,000 fields and one whose
// 1 MB texts of words differ all through a stretch in their middle, so that marking what differs
// takes the longest the inspector allows it. For each it
// measures selecting the record until its first complete paint, scrolling the field list a page and
// to its end, and copying a whole value; every figure is the longest single stretch the event loop
// was kept from running (one event delivered, or the action itself), median of the runs. Nothing the
// user does may keep the interface busy for more than 50 ms at a time.
//
// Usage: bench_long_values [data folder]   (generated files are kept there and reused)

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <QApplication>
#include <QScrollBar>
#include <QThread>

#include "bench/support/DataGenerator.h"
#include "bench/support/ProcessMeasurement.h"
#include "model/ComparisonModel.h"
#include "ui/results/InspectorFieldList.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/QtFileDialogs.h"

namespace {

using namespace rowlark;
using bench::writeOnce;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int runs = 7;
constexpr double stallLimitMilliseconds = 50;
constexpr std::size_t recordCount = 2;
// Long enough for the inspector to finish laying out a record while the interface is idle.
constexpr auto settleTime = std::chrono::milliseconds(1500);

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Keeps the longest time one event took to deliver, counting only the outermost delivery: that is
// how long the event loop could not run.
class TimedApplication : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override
    {
        if (depth_++ > 0) {
            const bool result = QApplication::notify(receiver, event);
            --depth_;
            return result;
        }
        const auto start = Clock::now();
        const bool result = QApplication::notify(receiver, event);
        --depth_;
        longest_ = std::max(longest_, millisecondsSince(start));
        return result;
    }

    void resetLongest() { longest_ = 0; }
    double longest() const { return longest_; }

private:
    int depth_ = 0;
    double longest_ = 0;
};

TimedApplication* timedApp()
{
    return static_cast<TimedApplication*>(QApplication::instance());
}

// Writes the cell of one row and column of File A or File B.
using CellWriter = std::function<void(std::ofstream&, std::size_t, std::size_t, bool)>;

struct Scenario {
    const char* title;
    const char* name;
    std::size_t columns;
    CellWriter cell;
};

// `columns` value columns after the key; every cell is followed by the side's mark, so each record
// differs in every field.
void writeTable(std::ofstream& out, std::size_t columns, bool isLeft, const CellWriter& cell)
{
    out << "id";
    for (std::size_t column = 1; column <= columns; ++column)
        out << ",field_" << column;
    out << "\n";
    for (std::size_t row = 1; row <= recordCount; ++row) {
        out << row;
        for (std::size_t column = 1; column <= columns; ++column) {
            out << ',';
            cell(out, row, column, isLeft);
            out << (isLeft ? 'a' : 'b');
        }
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

void settle()
{
    const auto end = Clock::now() + settleTime;
    while (Clock::now() < end) {
        QApplication::processEvents();
        QThread::msleep(1);
    }
}

// Runs `action` on the interface thread, then lets the window paint and settle; the longest stretch
// the interface was busy, the action itself included.
double longestStretch(QWidget& window, const std::function<void()>& action)
{
    settle();
    timedApp()->resetLongest();
    const auto start = Clock::now();
    action();
    const double inAction = millisecondsSince(start);
    QApplication::processEvents();
    window.repaint();
    settle();
    return std::max(inAction, timedApp()->longest());
}

struct Figure {
    const char* what;
    double milliseconds;
};

double medianOfRuns(QWidget& window, const std::function<void(int)>& action)
{
    std::vector<double> times;
    for (int run = 0; run < runs; ++run)
        times.push_back(longestStretch(window, [&] { action(run); }));
    return bench::medianOf(times);
}

// Loads both files, compares them and measures the inspector on the resulting records.
std::vector<Figure> benchRecords(const fs::path& left, const fs::path& right)
{
    model::ComparisonModel model(std::make_shared<ui::shell::QtFileDialogs>());
    ui::shell::MainWindow window(model);
    window.resize(1320, 850);
    window.show();
    model.load(QString::fromStdString(left.string()), true);
    waitFor([&] { return !model.isBusy(); });
    model.load(QString::fromStdString(right.string()), false);
    waitFor([&] { return !model.isBusy(); });
    model.compare();
    waitFor([&] { return !model.isBusy() && !model.isFiltering(); });
    const auto& differences = model.summary()->differences;
    const auto fieldList = [&] {
        return window.findChild<ui::results::InspectorFieldList*>(QStringLiteral("inspectorFields"));
    };
    const auto select = [&](int run) {
        model.setSelectedRowID(differences[static_cast<std::size_t>(run + 1) % differences.size()].id);
    };

    std::vector<Figure> figures;
    figures.push_back({"select a record until its first paint", medianOfRuns(window, select)});
    figures.push_back({"scroll the fields a page", medianOfRuns(window, [&](int) {
                           fieldList()->verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
                       })});
    figures.push_back({"select, then at once scroll to the end", medianOfRuns(window, [&](int run) {
                           select(run);
                           QApplication::processEvents();
                           fieldList()->verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
                       })});
    figures.push_back({"copy a whole value", medianOfRuns(window, [&](int run) {
                           fieldList()->selectValue(1, run % 2 == 0);
                           fieldList()->copySelection();
                       })});
    return figures;
}

double report(const char* title, const std::vector<Figure>& figures)
{
    std::printf("%s, longest stretch the interface was busy, median of %d:\n", title, runs);
    double worst = 0;
    for (const Figure& figure : figures) {
        std::printf("  %-44s %9.2f ms\n", figure.what, figure.milliseconds);
        worst = std::max(worst, figure.milliseconds);
    }
    std::fflush(stdout);
    return worst;
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TimedApplication app(argc, argv);
    const fs::path folder = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "rowlark-bench-long-values";
    fs::create_directories(folder);

    const auto token = [](std::size_t length) -> CellWriter {
        return [length](std::ofstream& out, std::size_t row, std::size_t column, bool) {
            out << std::string(length, static_cast<char>('a' + (row * 3 + column) % 26));
        };
    };
    const CellWriter shortValue = [](std::ofstream& out, std::size_t row, std::size_t column, bool) {
        out << "value " << row << '.' << column << ' ';
    };
    // Words of about 6 bytes: the middle 5,000 of File B's are drawn apart from File A's.
    const CellWriter editedProse = [](std::ofstream& out, std::size_t row, std::size_t column, bool isLeft) {
        constexpr std::array<const char*, 6> words{"lorem ", "ipsum ", "dolor ", "sit ", "amet ", "elit "};
        constexpr std::size_t wordCount = 170'000;
        std::mt19937 random(static_cast<unsigned>(row * 31 + column));
        for (std::size_t word = 0; word < wordCount; ++word) {
            const bool isEdited = !isLeft && word >= wordCount / 2 && word < wordCount / 2 + 5'000;
            out << words[(random() + (isEdited ? word % 5 + 1 : 0)) % words.size()];
        }
    };
    const std::vector<Scenario> scenarios = {
        {"Records of two 5 MB single-token cells", "long-5mb", 2, token(5'000'000)},
        {"Records of one 1,000,000-character token", "long-1m", 1, token(1'000'000)},
        {"Records of 10,000 fields", "wide-10000", 9'999, shortValue},
        {"Records of 1 MB texts of words edited through their middle", "edited-prose", 2, editedProse},
    };
    double worst = 0;
    for (const Scenario& scenario : scenarios) {
        const auto write = [&](bool isLeft) {
            return writeOnce(folder, std::string(scenario.name) + (isLeft ? "-a.csv" : "-b.csv"),
                             [&](std::ofstream& out) { writeTable(out, scenario.columns, isLeft, scenario.cell); });
        };
        worst = std::max(worst, report(scenario.title, benchRecords(write(true), write(false))));
    }
    std::printf("Worst: %.2f ms (limit %.0f ms)\n", worst, stallLimitMilliseconds);
    return worst < stallLimitMilliseconds ? 0 : 1;
}

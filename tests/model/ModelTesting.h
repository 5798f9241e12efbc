#pragma once

// A model with scripted dialogs and files in a temporary folder, plus waits on its event loop.

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include <QSignalSpy>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gmock/gmock.h>

#include "model/ComparisonModel.h"
#include "tests/support/SetupDialogs.h"

// Readable QString values in test failures.
inline void PrintTo(const QString& text, std::ostream* stream)
{
    *stream << '"' << text.toStdString() << '"';
}

namespace rowlark::testing {

class FakeDialogs : public SetupDialogs {
public:
    std::optional<QString> openAnswer;
    std::optional<QString> saveAnswer;
    int openCalls = 0;
    QString openTitle;
    QStringList openExtensions;
    QString saveName;
    QString saveMessage;

    std::optional<QString> openFile(const QString& title, const QStringList& extensions) override
    {
        ++openCalls;
        openTitle = title;
        openExtensions = extensions;
        return openAnswer;
    }
    std::optional<QString> saveFile(const QString& suggestedName, const QString& message) override
    {
        saveName = suggestedName;
        saveMessage = message;
        return saveAnswer;
    }
};

class ModelTest : public ::testing::Test {
protected:
    ModelTest();

    // Writes `text` to a file of that name in the test's folder; returns its path.
    QString writeFile(const QString& name, const std::string& text);
    // A CSV file with header "id,value" and rows 1..count whose value is `prefix` + id.
    QString writeNumberedFile(const QString& name, int count, const std::string& prefix);

    void loadSamples();
    // Loads the samples with sku as the only key and every column compared, and compares.
    void compareSamples();
    void compareLoaded();
    // Makes the mapping of left column `leftIndex` the only key (none when no mapping has it).
    void keyOnly(std::int64_t leftIndex);

    // Waits until the model is idle: no operation running and no filter run pending.
    void waitUntilIdle();

    // How often the model emitted the signal named `signal` ("tabChanged"); -1 for no such signal.
    int announced(std::string_view signal) const;
    // Every signal of the model emitted so far.
    int announcedInAll() const;
    void forgetAnnouncements();

    std::shared_ptr<FakeDialogs> dialogs = std::make_shared<FakeDialogs>();
    model::ComparisonModel model{dialogs};
    QTemporaryDir folder;

private:
    std::map<std::string, std::unique_ptr<QSignalSpy>, std::less<>> spies_;
};

// Waits until every background task has ended and its outcome has been delivered (or dropped).
void drainBackgroundWork();

// "key status" of every filtered difference, in order.
std::vector<std::string> describeDifferences(const model::ComparisonModel& model);

}  // namespace rowlark::testing

#include "tests/model/ModelTesting.h"

#include <QCoreApplication>
#include <QFile>
#include <QMetaMethod>
#include <QTest>

#include "model/BackgroundRunner.h"

namespace rowlark::testing {

ModelTest::ModelTest()
{
    EXPECT_TRUE(folder.isValid());
    const QMetaObject& meta = model::ComparisonModel::staticMetaObject;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
        const QMetaMethod method = meta.method(i);
        if (method.methodType() == QMetaMethod::Signal)
            spies_.emplace(method.name().toStdString(), std::make_unique<QSignalSpy>(&model, method));
    }
}

QString ModelTest::writeFile(const QString& name, const std::string& text)
{
    const QString path = folder.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text.data(), static_cast<qint64>(text.size()));
    return path;
}

QString ModelTest::writeNumberedFile(const QString& name, int count, const std::string& prefix)
{
    std::string text = "id,value\n";
    for (int row = 1; row <= count; ++row)
        text += std::to_string(row) + "," + prefix + std::to_string(row) + "\n";
    return writeFile(name, text);
}

void ModelTest::loadSamples()
{
    model.loadSample();
    waitUntilIdle();
    ASSERT_EQ(model.mappings().size(), 5u);
}

void ModelTest::compareSamples()
{
    loadSamples();
    keyOnly(0);
    const std::vector<records::ColumnMapping> mappings = model.mappings();
    for (const records::ColumnMapping& mapping : mappings)
        model.setIncluded(mapping.id, true);
    compareLoaded();
}

void ModelTest::keyOnly(std::int64_t leftIndex)
{
    // Every edit replaces the list, so walk a copy.
    const std::vector<records::ColumnMapping> mappings = model.mappings();
    for (const records::ColumnMapping& mapping : mappings)
        model.setKey(mapping.id, mapping.leftIndex == leftIndex);
}

void ModelTest::compareLoaded()
{
    ASSERT_TRUE(model.canCompare());
    model.compare();
    waitUntilIdle();
    ASSERT_TRUE(model.summary()) << model.errorMessage().value_or("").toStdString();
}

void ModelTest::waitUntilIdle()
{
    ASSERT_TRUE(QTest::qWaitFor([this] { return !model.isBusy() && !model.isFiltering(); }, 30000));
}

void drainBackgroundWork()
{
    model::BackgroundRunner::shared().waitForDone();
    QCoreApplication::processEvents();
}

int ModelTest::announced(std::string_view signal) const
{
    const auto found = spies_.find(signal);
    return found == spies_.end() ? -1 : static_cast<int>(found->second->size());
}

int ModelTest::announcedInAll() const
{
    int count = 0;
    for (const auto& [name, spy] : spies_)
        count += static_cast<int>(spy->size());
    return count;
}

void ModelTest::forgetAnnouncements()
{
    for (const auto& [name, spy] : spies_)
        spy->clear();
}

std::vector<std::string> describeDifferences(const model::ComparisonModel& model)
{
    std::vector<std::string> described;
    if (!model.summary())
        return described;
    for (std::size_t position : model.filteredIndices()) {
        const records::RowDifference& difference = model.summary()->differences[position];
        described.push_back(difference.key + " " + std::string(title(difference.status)));
    }
    return described;
}

}  // namespace rowlark::testing

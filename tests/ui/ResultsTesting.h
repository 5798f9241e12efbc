#pragma once

// The window after a comparison: the samples or two small files, compared and filtered.

#include <string>

#include <QTest>

#include "tests/ui/WindowTesting.h"
#include "ui/results/InspectorFieldList.h"
#include "ui/results/RowInspector.h"

namespace rowlark::ui::testing {

class ResultsTest : public WindowTest {
protected:
    void compareSamples()
    {
        loadSamples();
        compareLoaded();
    }

    // Loads both files, lets the analysis suggest the mapping and compares.
    void compareFiles(const std::string& left, const std::string& right)
    {
        loadFiles(left, right);
        compareLoaded();
    }

    void compareLoaded()
    {
        model.compare();
        waitUntilIdle();
    }

    void waitForFilter()
    {
        EXPECT_TRUE(QTest::qWaitFor([this] { return !model.isFiltering(); }, 5000));
    }

    // Selects the difference at `position` of the summary, as a click in the list would.
    void selectDifference(std::size_t position)
    {
        model.setSelectedRowID(model.summary()->differences.at(position).id);
    }

    results::RowInspector* inspector() const
    {
        return window.findChild<results::RowInspector*>(QStringLiteral("rowInspector"));
    }

    const std::vector<results::FieldEntry>& entries() const
    {
        return inspector()->findChild<results::InspectorFieldList*>(QStringLiteral("inspectorFields"))->entries();
    }
};

}  // namespace rowlark::ui::testing

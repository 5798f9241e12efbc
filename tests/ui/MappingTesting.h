#pragma once

// The mapping screen over a real model: its rows, their parts and the list, as the tests reach them.

#include <algorithm>
#include <string>
#include <vector>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QStackedWidget>
#include <QTest>

#include "tests/ui/WindowTesting.h"
#include "ui/mapping/MappingList.h"
#include "ui/mapping/MappingRow.h"
#include "ui/widgets/SuggestionChip.h"

namespace rowlark::ui::testing {

// A CSV text of `headers` and `rows` rows whose cells are `header` + row number.
inline std::string csvText(const std::vector<std::string>& headers, int rows = 6)
{
    std::string text;
    for (std::size_t column = 0; column < headers.size(); ++column)
        text += (column ? "," : "") + headers[column];
    text += '\n';
    for (int row = 1; row <= rows; ++row) {
        for (std::size_t column = 0; column < headers.size(); ++column)
            text += (column ? "," : "") + headers[column] + "-" + std::to_string(row);
        text += '\n';
    }
    return text;
}

class MappingScreenTest : public WindowTest {
protected:
    // More rows than the list shows at once, with keyboard focus available to them.
    void loadSixtyColumnsInAnActiveWindow()
    {
        std::vector<std::string> headers;
        for (int column = 0; column < 60; ++column)
            headers.push_back("field_" + std::to_string(column));
        loadFiles(csvText(headers, 3), csvText(headers, 3));
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    mapping::MappingList* list() const { return find<mapping::MappingList>("mappingList"); }
    QAbstractItemModel* rows() const { return list()->model(); }
    int rowCount() const { return rows()->rowCount(); }

    QStringList listedNames() const
    {
        QStringList names;
        for (int row = 0; row < rowCount(); ++row)
            names << rows()->index(row, 0).data().toString();
        return names;
    }

    // The open row widget listing the column named `name`; fails the test when it is not open.
    mapping::MappingRow* rowNamed(const QString& name) const
    {
        const int row = static_cast<int>(listedNames().indexOf(name));
        EXPECT_GE(row, 0) << name.toStdString();
        mapping::MappingRow* widget = row >= 0 ? list()->rowWidget(row) : nullptr;
        EXPECT_NE(widget, nullptr) << name.toStdString();
        return widget;
    }

    template<typename T> T* part(const QString& rowName, const QString& partName) const
    {
        mapping::MappingRow* row = rowNamed(rowName);
        T* widget = row ? row->findChild<T*>(partName) : nullptr;
        EXPECT_NE(widget, nullptr) << partName.toStdString();
        return widget;
    }

    QCheckBox* keyBox(const QString& rowName) const { return part<QCheckBox>(rowName, "keyBox"); }
    QCheckBox* compareBox(const QString& rowName) const { return part<QCheckBox>(rowName, "compareBox"); }
    QComboBox* picker(const QString& rowName) const { return part<QComboBox>(rowName, "matchPicker"); }

    QList<widgets::SuggestionChip*> shownChips(const QString& rowName) const
    {
        QList<widgets::SuggestionChip*> shown;
        for (widgets::SuggestionChip* chip : rowNamed(rowName)->findChildren<widgets::SuggestionChip*>())
            if (chip->isVisibleTo(rowNamed(rowName)))
                shown << chip;
        return shown;
    }

    const records::ColumnMapping& mappingOf(const QString& leftHeaderText) const
    {
        const auto& headers = model.left()->table.headers();
        const auto column = std::find(headers.begin(), headers.end(), leftHeaderText.toStdString()) - headers.begin();
        return model.mappings()[static_cast<std::size_t>(column)];
    }

    // Chooses a drop-down entry as the user does: the list's choice announces itself as activated.
    void choose(QComboBox* box, const QString& entry)
    {
        const int position = box->findText(entry);
        ASSERT_GE(position, 0) << entry.toStdString();
        box->setCurrentIndex(position);
        emit box->activated(position);
    }

    bool isWarningShown() const { return find<QWidget>("noKeyWarning")->isVisibleTo(&window); }
    QStackedWidget* listArea() const { return find<QStackedWidget>("mappingListArea"); }
    QLineEdit* search() const { return find<QLineEdit>("mappingSearchField"); }
};

}  // namespace rowlark::ui::testing

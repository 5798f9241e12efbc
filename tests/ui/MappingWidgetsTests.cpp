#include <QAbstractItemModelTester>
#include <QLabel>

#include "tests/ui/WindowTesting.h"
#include "ui/mapping/ColumnOptionsModel.h"

namespace rowlark::ui::testing {
namespace {

using mapping::ColumnOptionsModel;

class ColumnOptionsModelTest : public WindowTest {
protected:
    static QStringList entries(const ColumnOptionsModel& options)
    {
        QStringList texts;
        for (int row = 0; row < options.rowCount(); ++row)
            texts << options.data(options.index(row), Qt::DisplayRole).toString();
        return texts;
    }
};

TEST_F(ColumnOptionsModelTest, ListsFileBColumnsOfItsKindAndFindsThemAgain)
{
    ColumnOptionsModel ordinary(model, false);
    ColumnOptionsModel structured(model, true);
    const QAbstractItemModelTester ordinaryTester(&ordinary, QAbstractItemModelTester::FailureReportingMode::Fatal);
    const QAbstractItemModelTester structuredTester(&structured, QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_EQ(entries(ordinary), QStringList{ColumnOptionsModel::notMapped()});

    loadFiles("id,name,meta\n1,a,\"{\"\"x\"\":1}\"\n2,b,\"{\"\"x\"\":2}\"\n",
              "meta,id,city,name\n\"{\"\"x\"\":1}\",1,Oslo,a\n\"{\"\"x\"\":3}\",2,Rome,b\n");
    ordinary.reload();
    structured.reload();
    // The JSON object's member comes beside it as an ordinary column of its own.
    EXPECT_EQ(entries(ordinary), (QStringList{ColumnOptionsModel::notMapped(), QStringLiteral("meta_x"),
                                              QStringLiteral("id"), QStringLiteral("city"), QStringLiteral("name")}));
    EXPECT_EQ(entries(structured), (QStringList{ColumnOptionsModel::notMapped(), QStringLiteral("meta")}));

    for (const std::int64_t column : {1, 2, 3, 4}) {
        const int row = ordinary.rowOf(column);
        EXPECT_EQ(row, column);
        EXPECT_EQ(ordinary.columnAt(row), column);
    }
    EXPECT_EQ(structured.rowOf(0), 1);
    EXPECT_EQ(structured.columnAt(1), 0);
    // A column of the other kind, one past the file and none at all have the "Not mapped" entry.
    EXPECT_EQ(ordinary.rowOf(0), 0);
    EXPECT_EQ(structured.rowOf(1), 0);
    EXPECT_EQ(ordinary.rowOf(5), 0);
    EXPECT_EQ(ordinary.rowOf(std::nullopt), 0);
    EXPECT_EQ(ordinary.columnAt(0), std::nullopt);
    EXPECT_EQ(ordinary.columnAt(5), std::nullopt);
    EXPECT_EQ(ordinary.columnAt(-1), std::nullopt);
    EXPECT_FALSE(ordinary.data(ordinary.index(1), Qt::ToolTipRole).isValid());
}

TEST_F(ColumnOptionsModelTest, TheMappingScreenShowsItsTitle)
{
    window.resize(1000, 700);
    window.show();
    loadFiles("id,name\n1,a\n", "id,name\n1,b\n");
    const QLabel* title = find<QLabel>(QStringLiteral("mappingTitle"));
    EXPECT_TRUE(title->isVisible());
    EXPECT_EQ(title->text(), QStringLiteral("Match your columns"));
    EXPECT_GE(title->width(), title->sizeHint().width());
}

}  // namespace
}  // namespace rowlark::ui::testing

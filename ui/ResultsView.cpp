#include "ResultsView.h"

namespace rowlark::ui {

ResultsView::ResultsView(ComparisonModel& model, QWidget* parent) : QWidget(parent), model_(model)
{
    setObjectName(QStringLiteral("resultsScreen"));
}

}  // namespace rowlark::ui

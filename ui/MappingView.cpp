#include "MappingView.h"

namespace rowlark::ui {

MappingView::MappingView(ComparisonModel& model, QWidget* parent) : QWidget(parent), model_(model)
{
    setObjectName(QStringLiteral("mappingScreen"));
}

}  // namespace rowlark::ui

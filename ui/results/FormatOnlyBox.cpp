#include "ui/results/FormatOnlyBox.h"

#include <algorithm>

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "engine/results/RuleTexts.h"
#include "model/UTF8Text.h"
#include "ui/results/ResultTexts.h"
#include "ui/widgets/Styling.h"

namespace rowlark::ui::results {

QString formatOnlyText(const records::ColumnChanges& column)
{
    return FormatOnlyBox::tr("%1: %2 of %3 are the same %4 written differently")
        .arg(model::utf8Text(records::columnName(column.leftHeader, column.leftIndex)),
             groupedNumber(column.formatOnlyRecords), groupedNumber(column.changedRecords),
             model::utf8Text(rowlark::results::formatOnlyNoun(column.proposedRule->kind)));
}

FormatOnlyBox::FormatOnlyBox(model::ComparisonModel& model, QWidget* parent)
    : QWidget(parent)
    , model_(model)
{
    setObjectName(QStringLiteral("formatOnlyBox"));
    entries_ = new QVBoxLayout(this);
    entries_->setContentsMargins(0, 6, 0, 2);
    entries_->setSpacing(3);
    connect(&model_, &model::ComparisonModel::resultChanged, this, &FormatOnlyBox::followResult);
    followResult();
}

void FormatOnlyBox::clear()
{
    // A button's click may be what brought a new result: it goes once its click is over.
    while (QLayoutItem* item = entries_->takeAt(0)) {
        if (QWidget* widget = item->widget()) {
            widget->hide();
            widget->deleteLater();
        }
        delete item;
    }
    columns_.clear();
}

void FormatOnlyBox::followResult()
{
    clear();
    const std::shared_ptr<const records::ComparisonSummary>& summary = model_.summary();
    std::vector<std::size_t> all;
    if (summary)
        for (const std::size_t position : records::columnsByChanges(*summary))
            if (summary->columns[position].formatOnlyRecords > 0)
                all.push_back(position);
    setVisible(!all.empty());
    if (all.empty())
        return;
    columns_.assign(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(std::min(all.size(), listedColumns)));
    for (const std::size_t position : columns_) {
        const records::ColumnChanges& column = summary->columns[position];
        auto* text = widgets::styledLabel(formatOnlyText(column), widgets::TextStyle::caption, false, this);
        text->setObjectName(QStringLiteral("formatOnlyText"));
        text->setWordWrap(true);
        const QString action = model::utf8Text(rowlark::results::proposalAction(column.proposedRule->kind));
        auto* button = new QPushButton(action, this);
        button->setObjectName(QStringLiteral("formatOnlyAction"));
        button->setAccessibleName(
            tr("%1: %2").arg(model::utf8Text(records::columnName(column.leftHeader, column.leftIndex)), action));
        connect(button, &QPushButton::clicked, this,
                [this, position] { model_.compareTakingProposedRules({position}); });
        entries_->addWidget(text);
        entries_->addWidget(button, 0, Qt::AlignLeft);
        entries_->addSpacing(4);
    }
    if (all.size() > listedColumns) {
        const std::size_t unlisted = all.size() - listedColumns;
        auto* more = widgets::styledLabel(unlisted == 1 ? tr("1 more column is written differently.")
                                                        : tr("%1 more columns are written differently.")
                                                              .arg(groupedNumber(static_cast<std::int64_t>(unlisted))),
                                          widgets::TextStyle::caption, true, this);
        more->setWordWrap(true);
        entries_->addWidget(more);
    }
    if (all.size() > 1) {
        const bool isOneKind = std::ranges::all_of(all, [&](std::size_t position) {
            return summary->columns[position].proposedRule->kind == summary->columns[all.front()].proposedRule->kind;
        });
        const QString action = isOneKind ? tr("Compare all %1")
                                               .arg(model::utf8Text(rowlark::results::comparedAsText(
                                                   summary->columns[all.front()].proposedRule->kind)))
                                         : tr("Compare all as proposed");
        auto* button = new QPushButton(action, this);
        button->setObjectName(QStringLiteral("formatOnlyAllAction"));
        button->setToolTip(widgets::plainToolTip(
            tr("Compares these %n columns by the rules proposed for them.", nullptr, static_cast<int>(all.size()))));
        connect(button, &QPushButton::clicked, this, [this, all] { model_.compareTakingProposedRules(all); });
        entries_->addWidget(button, 0, Qt::AlignLeft);
    }
}

}  // namespace rowlark::ui::results

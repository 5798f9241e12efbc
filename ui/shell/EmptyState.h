#pragma once

// What the content area shows until both files are loaded: an invitation to choose a file or try
// the samples.

#include <QPushButton>
#include <QStringList>
#include <QWidget>

#include "model/ComparisonModel.h"

namespace rowlark::ui::shell {

class EmptyState : public QWidget {
    Q_OBJECT

public:
    explicit EmptyState(model::ComparisonModel& model, QWidget* parent = nullptr);

    // Loads two paths together, the first as File A and the second as File B, each whether or not
    // the other reads; one path goes to the side still missing, File A first. A setup file as the
    // first path opens that setup instead.
    void loadDropped(const QStringList& paths);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void followActivity();
    void refreshChoice();
    // The side the empty state invites a file for: File A, until it is loaded.
    bool isLeftSideMissing() const;

    model::ComparisonModel& model_;
    QPushButton* chooseFirst_;
    QPushButton* trySamples_;
};

}  // namespace rowlark::ui::shell

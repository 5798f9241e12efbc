#pragma once

// What the content area shows until both files are loaded: an invitation to choose a file or try
// the samples.

#include <optional>

#include <QPushButton>
#include <QStringList>
#include <QWidget>

#include "model/ComparisonModel.h"

namespace rowlark::ui::shell {

class EmptyState : public QWidget {
    Q_OBJECT

public:
    explicit EmptyState(model::ComparisonModel& model, QWidget* parent = nullptr);

    // Loads the first path as File A and then, once it has arrived, the second as File B. The
    // model runs one operation at a time, so the second load has to wait for the first. A setup
    // file as the first path opens that setup instead.
    void loadDropped(const QStringList& paths);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void followActivity();
    void continueDroppedLoad();

    model::ComparisonModel& model_;
    std::optional<QString> pendingRight_;
    bool hasLeftArrived_ = false;
    QPushButton* chooseFirst_;
    QPushButton* trySamples_;
};

}  // namespace rowlark::ui::shell

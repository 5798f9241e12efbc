#pragma once

// The threads behind the model's background work. Each task runs on a thread of its own and
// returns the step to take with its result; that step then runs on the thread the runner lives
// on (the interface thread). Both hand-overs go through standard-library synchronization only,
// so ThreadSanitizer can follow them, and a Qt event merely says that steps are waiting.

#include <functional>
#include <memory>

#include <QObject>

namespace rowlark::model {

class BackgroundRunner : public QObject {
    Q_OBJECT

public:
    using Step = std::function<void()>;
    using Task = std::function<Step()>;

    explicit BackgroundRunner(QObject* parent = nullptr);
    // Waits for the tasks still running; their steps are dropped.
    ~BackgroundRunner() override;

    // The application's runner, created on the first call (which must come from the interface
    // thread) and destroyed with the application.
    static BackgroundRunner& shared();

    void start(Task task);

    // Blocks until no task runs; the steps of finished tasks still wait for the event loop.
    void waitForDone();

private:
    Q_INVOKABLE void runFinishedSteps();

    struct State;
    std::shared_ptr<State> state_;
};

}  // namespace rowlark::model

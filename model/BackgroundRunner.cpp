#include "model/BackgroundRunner.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>

namespace rowlark::model {

// Shared with every task thread, so it outlives the runner while a thread still finishes.
struct BackgroundRunner::State {
    std::mutex mutex;
    std::condition_variable idle;
    BackgroundRunner* runner = nullptr;  // null once the runner is being destroyed
    int running = 0;
    std::deque<Step> finished;
};

BackgroundRunner::BackgroundRunner(QObject* parent)
    : QObject(parent)
    , state_(std::make_shared<State>())
{
    state_->runner = this;
}

BackgroundRunner::~BackgroundRunner()
{
    std::unique_lock lock(state_->mutex);
    state_->runner = nullptr;
    state_->idle.wait(lock, [this] { return state_->running == 0; });
    state_->finished.clear();
}

BackgroundRunner& BackgroundRunner::shared()
{
    static QPointer<BackgroundRunner> runner;
    if (!runner)
        runner = new BackgroundRunner(QCoreApplication::instance());
    return *runner;
}

void BackgroundRunner::start(Task task)
{
    {
        std::lock_guard lock(state_->mutex);
        ++state_->running;
    }
    try {
        std::thread([state = state_, task = std::move(task)]() mutable {
            Step step = task();
            // What the task holds goes before it counts as done, so waiting for the runner also
            // waits for that.
            task = nullptr;
            std::lock_guard lock(state->mutex);
            --state->running;
            if (state->runner) {
                state->finished.push_back(std::move(step));
                if (state->finished.size() == 1)
                    QMetaObject::invokeMethod(state->runner, "runFinishedSteps", Qt::QueuedConnection);
            }
            state->idle.notify_all();
        }).detach();
    } catch (...) {
        std::lock_guard lock(state_->mutex);
        --state_->running;
        throw;
    }
}

void BackgroundRunner::waitForDone()
{
    std::unique_lock lock(state_->mutex);
    state_->idle.wait(lock, [this] { return state_->running == 0; });
}

void BackgroundRunner::runFinishedSteps()
{
    std::deque<Step> steps;
    {
        std::lock_guard lock(state_->mutex);
        steps.swap(state_->finished);
    }
    for (Step& step : steps)
        step();
}

}  // namespace rowlark::model

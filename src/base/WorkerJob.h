#pragma once
// One job on a worker thread of its own: the program's one way to run long
// work (a scan, a copy, a clip, a frame grab, a duration probe) while the main
// loop runs. Its end comes back to the main thread, and is dropped when the
// job object is gone by then. Destroying the job (a new job, or its owner
// going away) first asks the work to stop, then waits for the thread, so no
// thread outlives what it reports to. A job object runs one work; start a new
// object for the next.
#include <QObject>

#include <functional>
#include <thread>
#include <utility>

template <typename Result> class WorkerJob : public QObject
{
public:
    // `cancel` asks a running `work` to end early; it may be called from the main thread at any time.
    WorkerJob(QObject* parent, std::function<void()> cancel) : QObject(parent), m_cancel(std::move(cancel)) {}
    ~WorkerJob() override
    {
        if (m_cancel)
            m_cancel();
        if (m_thread.joinable())
            m_thread.join();
    }

    void start(std::function<Result()> work, std::function<void(const Result&)> finished)
    {
        m_running = true;
        m_thread = std::thread([this, work = std::move(work), finished = std::move(finished)] {
            const Result result = work();
            QMetaObject::invokeMethod(
                this,
                [this, result, finished] {
                    if (m_thread.joinable())
                        m_thread.join();
                    m_running = false;
                    finished(result);
                },
                Qt::QueuedConnection);
        });
    }
    bool isRunning() const { return m_running; }

private:
    std::function<void()> m_cancel;
    std::thread m_thread;
    bool m_running = false;
};

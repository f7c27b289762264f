#pragma once
// Reads of the playback session that may take seconds on a slow card (the
// durations of the recordings being opened, the tracks of the rest of a trip),
// each on a worker (base/WorkerJob.h) with its answer queued back to the main
// thread. There is one pending read per kind: a new ask of a kind tells the
// read before it to stop and drops its answer, so a recording replaced before
// its read answers never sees the late answer. The replaced read is not
// waited for; its worker ends on its own. Destroying this object stops and
// joins whatever still runs. Main thread only.
#include "base/WorkerJob.h"

#include <QObject>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <utility>

class LatestReads : public QObject
{
public:
    enum Kind : int { FrontDurations, RearDurations, TripRoute };

    explicit LatestReads(QObject* parent = nullptr) : QObject(parent) {}

    // Runs `work` on a worker; `answer` gets its result on the main thread
    // unless another ask or a drop of the same kind came first. `work` gets a
    // flag that turns true when its answer is no longer wanted.
    template <typename Result>
    void ask(Kind kind, std::function<Result(const std::atomic<bool>& stop)> work,
             std::function<void(const Result&)> answer)
    {
        drop(kind);
        auto stop = std::make_shared<std::atomic<bool>>(false);
        const std::uint64_t ticket = ++m_lastTicket;
        m_pending[kind] = Pending{ticket, stop};
        auto* job = new WorkerJob<Result>(this, [stop] { stop->store(true); });
        job->start([work = std::move(work), stop] { return work(*stop); },
                   [this, job, kind, ticket, answer = std::move(answer)](const Result& result) {
                       job->deleteLater();
                       const auto it = m_pending.find(kind);
                       if (it == m_pending.end() || it->second.ticket != ticket)
                           return;
                       m_pending.erase(it);
                       answer(result);
                   });
    }
    // The pending read of this kind, if any, is not wanted any more.
    void drop(Kind kind)
    {
        const auto it = m_pending.find(kind);
        if (it == m_pending.end())
            return;
        it->second.stop->store(true);
        m_pending.erase(it);
    }
    bool isPending(Kind kind) const { return m_pending.count(kind) > 0; }

private:
    struct Pending {
        std::uint64_t ticket = 0;
        std::shared_ptr<std::atomic<bool>> stop;
    };
    std::map<Kind, Pending> m_pending;
    std::uint64_t m_lastTicket = 0;
};

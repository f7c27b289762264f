#pragma once
// When the library's recordings happened, and the days that hold one. A
// recording is placed at its file date, or at the time in its name while
// name-time placement is on, moved by the camera clock's difference while the
// card's correction is on (core's pmPlacementMsecs). The local days that hold
// a recording are worked out at the calendar's first question after a change
// (it asks 42 days of every month it shows), never per question.
#include "base/AMediaFile.h"
#include "core/LibraryScan.h"

#include <QDate>
#include <QDateTime>
#include <QList>

#include <cstdint>
#include <optional>

class LibraryDays
{
public:
    bool byNameTime() const { return m_byNameTime; }
    void setByNameTime(bool on) { m_byNameTime = on; }
    std::optional<int64_t> clockDifference() const { return m_clockDifference; }
    void setClockDifference(std::optional<int64_t> differenceMs) { m_clockDifference = differenceMs; }
    // The library or the placement changed: the day table is made again at
    // the next question.
    void reset() { m_days.reset(); }

    // The placed moment; invalid when the recording has none.
    QDateTime placementDate(const AMediaFile& media) const;
    // Some recording of `library` is placed on that local day.
    bool contains(const QList<AMediaFile>& library, int year, int month, int day) const;
    // The local day of the newest recording of `sorted` (playlist order) still
    // on disk; none when every one is gone or it has no date.
    std::optional<QDate> newestDay(const QList<AMediaFile>& sorted) const;
    // How often the day table was made.
    int builds() const { return m_builds; }

private:
    bool m_byNameTime = false;
    std::optional<int64_t> m_clockDifference;
    mutable std::optional<MediaDays> m_days;
    mutable int m_builds = 0;
};

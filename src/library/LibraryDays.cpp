#include "library/LibraryDays.h"

#include <string>
#include <vector>

QDateTime LibraryDays::placementDate(const AMediaFile& media) const
{
    if (!m_byNameTime && !m_clockDifference)
        return media.fileDate();
    const QDateTime file = media.fileDate();
    const std::optional<int64_t> placed =
        pmPlacementMsecs(media.nativePath().toStdString(),
                         file.isValid() ? std::optional<int64_t>(file.toMSecsSinceEpoch()) : std::nullopt,
                         m_byNameTime, m_clockDifference);
    return placed ? QDateTime::fromMSecsSinceEpoch(*placed) : QDateTime();
}

bool LibraryDays::contains(const QList<AMediaFile>& library, int year, int month, int day) const
{
    if (year <= 0 || month <= 0 || day <= 0)
        return false;
    if (!m_days) {
        std::vector<std::optional<int64_t>> dates;
        dates.reserve(static_cast<std::size_t>(library.size()));
        for (const AMediaFile& f : library) {
            const QDateTime placed = placementDate(f);
            if (placed.isValid())
                dates.emplace_back(placed.toMSecsSinceEpoch());
            else
                dates.emplace_back(std::nullopt);
        }
        m_days.emplace(dates);
        ++m_builds;
    }
    return m_days->contains(static_cast<uint16_t>(year), static_cast<uint16_t>(month),
                            static_cast<uint16_t>(day));
}

std::optional<QDate> LibraryDays::newestDay(const QList<AMediaFile>& sorted) const
{
    std::vector<std::string> paths;
    paths.reserve(static_cast<std::size_t>(sorted.size()));
    for (const AMediaFile& f : sorted)
        paths.push_back(f.nativePath().toStdString());
    const std::optional<std::size_t> newest = pmNewestExistingRecording(paths);
    if (!newest)
        return std::nullopt;
    const QDateTime date = placementDate(sorted.at(static_cast<qsizetype>(*newest)));
    if (!date.isValid())
        return std::nullopt; // no date to move the calendar to
    return date.toLocalTime().date();
}

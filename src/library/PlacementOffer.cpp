#include "library/PlacementOffer.h"

#include "base/DialogSeam.h"
#include "base/Services.h"
#include "base/SettingsKeys.h"
#include "core/LibraryScan.h"
#include "core/Log.h"
#include "core/NameTimeOffer.h"
#include "library/LibraryModel.h"

#include <QTimer>

PlacementOffer::PlacementOffer(LibraryModel* library) : QObject(library), m_library(library) {}

void PlacementOffer::offer(QWidget* window)
{
    LibraryModel* library = m_library;
    if (!library || m_bOpen || library->isPlaceByNameTime() ||
        pmReadSetting(SettingsKeys::nameTimeOfferAnswered))
        return;
    std::vector<NameAndFileTime> times;
    times.reserve(static_cast<std::size_t>(library->videoLib().size()));
    for (const AMediaFile& f : library->videoLib()) {
        NameAndFileTime t;
        t.nameMsecs = pmNameTimeMsecs(f.nativePath().toStdString());
        if (f.fileDate().isValid())
            t.fileMsecs = f.fileDate().toMSecsSinceEpoch();
        times.push_back(t);
    }
    if (!pmShouldOfferNameTimePlacement(false, library->isPlaceByNameTime(), times))
        return;
    pmWriteLog("AppDelegate - names and file dates disagree: placement by names offered");
    m_bOpen = true;
    QPointer<PlacementOffer> self(this);
    pmAskQuestion(
        window, QString(), pmLoadString(QStringLiteral("IDS_OFFER_PLACE_BY_NAME_TIME")),
        pmLoadString(QStringLiteral("IDS_PLACE_BY_NAMES")),
        pmLoadString(QStringLiteral("IDS_KEEP_FILE_DATES")), [self](bool yes) {
            // Queued also when a test answers at once: never inside the build's end.
            QTimer::singleShot(0, self, [self, yes] {
                if (!self)
                    return;
                self->m_bOpen = false;
                pmWriteSetting(SettingsKeys::nameTimeOfferAnswered, true);
                pmWriteLogQ(
                    QStringLiteral("AppDelegate - placement by names answered : %1").arg(yes ? 1 : 0));
                if (yes && self->m_library)
                    self->m_library->setPlaceByNameTime(true);
            });
        });
}

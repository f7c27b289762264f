#pragma once
// The track of the recording that plays: its samples (read with the core's
// track rules when the recording is ready), the event mark, the G-sensor
// graph's picture, and the sample of the second shown with the G values the
// graph's cursor reads. Also the positions of the other recordings of its
// trip, each read once while the trip is stepped through. It draws nothing:
// what it reads it reports by signal (the map and the graph listen; the
// connections are in app/PlaybackPanels).
// Main thread only, but for readRouteParts.
#include "core/FileRules.h"
#include "core/GpsData.h"
#include "core/GpsList.h"
#include "core/TrackAttachments.h"
#include "core/TrackLoader.h"
#include "views/SensorGraphic.h"

#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

class AMediaFile;

class CurrentTrack : public QObject
{
    Q_OBJECT
public:
    explicit CurrentTrack(QObject* parent = nullptr) : QObject(parent) {}

    using Points = std::vector<std::pair<float, float>>;
    // Where the map's marker stands for a second.
    struct Place {
        float latitude = 0, longitude = 0, speed = 0, altitude = 0, direction = 0;
    };

    // A track from elsewhere for a recording (one the user attached): fills
    // `list` for `recording` (`seconds` gives its length, asked only when
    // needed) and names the file in `source`; false when the recording has
    // none, or it cannot be read.
    using AttachedReader =
        std::function<bool(const std::string& recording, const std::function<double()>& seconds,
                           GpsList& list, std::string& source)>;
    // Asked before every track is read, the trip's other recordings included.
    void setAttachedReader(AttachedReader reader) { m_attached = std::move(reader); }

    // The G-sensor graph's axis colours, asked at each drawing (the defaults without).
    void setGraphColours(std::function<SensorGraphColours()> colours) { m_colours = std::move(colours); }

    // Reads the track of the recording at `path` (as load) and reports it:
    // whether one was read, the event mark, the graph, the path, and whether
    // it can be exported.
    TrackLoadResult open(const std::string& path, double duration, const std::string& model);
    // Empties the track (see clear) and reports the graph emptied.
    void empty();
    // The graph drawn and reported again with its event mark (its images
    // were reloaded); false when the track has no G-sensor samples.
    bool redrawGraph();
    // The path reported again (the map page loaded); whether it has positions.
    bool reportPath();

    // Empties the samples and the graph's picture (nothing open, or the
    // playlist it belonged to has gone).
    void clear();
    // Before a recording's track is read: no samples, no event mark.
    void reset();
    // No event mark, and the cursor's G values at 0.
    void resetMark()
    {
        m_eventTime = -1;
        m_sensorX = m_sensorY = m_sensorZ = 0;
    }
    // Reads the track of the recording at `path` of `duration` seconds, for
    // the camera `model`; then the event mark for its type.
    TrackLoadResult load(const std::string& path, double duration, const std::string& model);
    // The event mark for a recording of `type` from the samples read; -1 when none.
    int markEvent(RecordingType type);
    // Draws the graph's picture with `eventIndex` marked, in these axis
    // colours; the scale the graph is drawn at.
    float drawGraphic(int eventIndex, const SensorGraphColours& colours = {});

    // The sample of this second, or none.
    const GpsData* sampleAt(double seconds) const;
    // The marker's place at this second (the last fix without one); the G
    // values of that second become the cursor's.
    Place placeAt(double seconds);

    // The positions of the recordings of `trip` other than `current`, in
    // trip order: those before it are the stretch driven, those after it
    // what lies ahead. Reading them may take seconds on a slow card, so it
    // comes in three steps: the parts with what is known of them (each
    // recording is read once while the trip is stepped through), the rest
    // read on any thread, and the parts read taken back on the main thread.
    struct RoutePart {
        QString path;
        std::string native;
        bool before = true; // driven, not ahead
        bool known = false; // `points` are in
        Points points;
    };
    using RouteParts = std::vector<RoutePart>;
    RouteParts tripRouteParts(const std::vector<int>& trip, int current, const QList<AMediaFile>& list) const;
    static bool routeKnown(const RouteParts& parts);
    // Reads the parts not known yet with the current track's rules, an
    // attached track (`attached` may be empty) in place of the camera's
    // positions; stops early when `stop` turns true. Any thread.
    static void readRouteParts(RouteParts& parts, const TrackAttachmentFinder& attached,
                               const std::atomic<bool>& stop);
    // The driven and ahead stretches of the known parts.
    static void splitRoute(const RouteParts& parts, Points& driven, Points& ahead);
    // Keeps the parts' positions for the next steps through this trip (only
    // this trip's recordings are kept).
    void keepTripRoute(const RouteParts& parts);
    void forgetTripRoute() { m_routeCache.clear(); }

    const GpsList& gps() const { return m_gps; }
    GpsList& gps() { return m_gps; }
    int eventTime() const { return m_eventTime; }
    int sensorX() const { return m_sensorX; }
    int sensorY() const { return m_sensorY; }
    int sensorZ() const { return m_sensorZ; }
    int16_t motorType() const { return m_motorType; }
    const QImage& graphic() const { return m_graphic; }

Q_SIGNALS:
    // A track was read for the recording (`loaded`) or none could be.
    void shown(bool loaded);
    // The event mark on the time slider, seconds (-1: none).
    void eventMarkChanged(int second);
    // The graph's picture (null: none) with its motor type and scale.
    void graphChanged(const QImage& image, int16_t motorType, float scale);
    // The positions to draw (null: none).
    void pathChanged(const GpsList* path);
    // The track has positions to export.
    void exportEnabled(bool enabled);

private:
    void reportGraph(int eventIndex);
    // The attached track in place of the positions read (true when there was one).
    bool takeAttached(const std::string& path, const std::function<double()>& seconds, GpsList& list,
                      TrackLoadResult& result);

    int m_eventTime = -1;
    int m_sensorX = 0;
    int m_sensorY = 0;
    int m_sensorZ = 0;
    int16_t m_motorType = 0;
    GpsList m_gps;
    GpsData m_lastFix;
    QImage m_graphic;
    AttachedReader m_attached;
    std::function<SensorGraphColours()> m_colours;
    // The positions of each recording of the trip last drawn, by path.
    QHash<QString, Points> m_routeCache;
};

#pragma once
// The time-stamp overlay over a picture that carries no stamp of its own (a
// rear camera's): a label laid over the window's content, showing the date
// and time of the frame on screen with the track's position and speed or G
// values of that second. It keeps whose picture it belongs to (the mode) and
// the recording's start. The text and the placement arithmetic are the
// core's (core/TimeStampText.h); this class gathers their inputs and keeps
// the label where the placement puts it.
// Main thread only.
#include "core/FileRules.h"

#include <QPointer>
#include <QSizeF>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class CurrentTrack;
class GpsData;
class GpsList;
class QLabel;
class QWidget;
class SurfacePair;
class VideoPlayerView;

class TimeStampOverlay
{
public:
    // Whose picture the stamp belongs to.
    enum Mode { Off = 0, Front = 1, Rear = 2 };

    // The widget the label is laid over (the window's content).
    void setHost(QWidget* content) { m_host = content; }
    int mode() const { return m_mode; }
    void setMode(int mode) { m_mode = mode; }
    // The start the stamp counts from; set from the name when a recording opens.
    const _SYSTEMTIME& start() const { return m_start; }
    void setStart(const _SYSTEMTIME& start) { m_start = start; }
    // The camera's clock against GPS time (CameraClock) while its correction
    // is on: the stamp counts from the corrected start in this computer's
    // time zone. None: the camera's own clock.
    void setClockDifference(std::optional<int64_t> differenceMs) { m_clockDifference = differenceMs; }

    // The label, made on first use; null without a host.
    QLabel* label();
    // The label if it was made.
    QLabel* existingLabel() const;
    bool isShown() const;
    void setVisible(bool visible);
    void setText(const QString& text);

    // The text for the frame at `position` seconds with the sample of
    // `track` for that second; the track's stamp preferences and model count
    // once a recording is `open`. None without a start date.
    std::optional<QString> textAt(double position, const GpsList& track, bool open) const;
    // Shows the text for that frame, or a blank one.
    std::optional<QString> showAt(double position, const GpsList& track, bool open);
    // In the lower right corner of the picture of `video` size as the
    // surface fits it into `area` (the surface's host).
    void place(const QWidget* area, QSizeF video);

    // A recording opened in the front surface (`camera` 1) or the rear one
    // (2): a rear camera's recording carries no stamp of its own, so the
    // stamp counts from its name over the picture it plays in; a front
    // camera's in the front surface needs none.
    void recordingOpened(int camera, const std::string& native);
    // Shown only while the picture it belongs to is the large one of `pair`,
    // with the text for the frame at `position`.
    void check(const SurfacePair& pair, double position, const GpsList& track, bool open);
    // In the corner of the picture it belongs to.
    void placeOver(const SurfacePair& pair);

    // What the stamp follows: the pictures of `pair`, the samples of `track`
    // and the time of the frame on screen, `position`. The calls below use them.
    void follow(const SurfacePair* pair, const CurrentTrack* track, std::function<double()> position);
    // The text for the frame at `position` (see textAt).
    std::optional<QString> textAtFrame(double position) const;
    // The text for the frame on screen; the label blank without one.
    std::optional<QString> textNow();
    // check, placeOver and showAt for the frame on screen.
    void checkNow();
    void placeNow();
    void showNow();
    // The camera's clock corrected by this difference from GPS time (none:
    // as the camera kept it); the stamp shown follows at once.
    void setClockCorrection(std::optional<int64_t> differenceMs)
    {
        setClockDifference(differenceMs);
        checkNow();
    }

    // The position of the frame on screen: the player's own while no seek is
    // on its way, else the surface's time (`surfaceTime`).
    static double frameTime(const VideoPlayerView* surface, double surfaceTime);
    // The sample of the second a frame at `position` is in.
    static const GpsData* sampleOfFrame(const GpsList& track, double position);

private:
    QPointer<QWidget> m_host;
    QPointer<QLabel> m_label;
    int m_mode = Off;
    _SYSTEMTIME m_start{};
    std::optional<int64_t> m_clockDifference;
    const SurfacePair* m_pair = nullptr;
    const CurrentTrack* m_track = nullptr;
    std::function<double()> m_position;
};

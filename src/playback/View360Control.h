#pragma once
// The 360-degree view of the front surface: a recording tagged spherical is
// shown on the sphere by itself; the settings menu's switch puts a flat one
// on it for that recording only. While the large picture is a sphere the
// direction pad applies and the head tracker turns it (the tracker is made
// on the first sphere only, so a flat-only session never touches the HID
// devices). The pad itself is a panel: it follows padChanged.
// Main thread only.
#include <QObject>
#include <QPointer>
#include <string>

class PSVR;
class SurfacePair;
class VideoPlayerView;

class View360Control : public QObject
{
    Q_OBJECT
public:
    explicit View360Control(QObject* parent = nullptr) : QObject(parent) {}
    ~View360Control() override;

    // `surface` opened `path`; `front` when it is the front surface, whose
    // menu choice was for the recording before.
    void recordingOpened(VideoPlayerView* surface, const std::string& path, bool front);
    // The menu's switch on the front surface; false where it does not apply.
    bool toggle(VideoPlayerView* front);
    // -1 when the switch does not apply (no recording, or one tagged
    // spherical), else whether it is on.
    int state(const VideoPlayerView* front) const;
    // A pad command (up, down, left, right, reset) to the front surface's sphere.
    static void turn(VideoPlayerView* front, int command);
    // The pad applies while the front surface is a sphere and the large picture.
    void update(const VideoPlayerView* front, bool switched);
    bool padEnabled() const { return m_padEnabled; }
    // Back to the start, without telling the pad.
    void reset() { m_padEnabled = false; }
    // The head tracker runs while the pad applies.
    void updateHeadTracker();

    // The surfaces whose front the calls below apply to.
    void follow(const SurfacePair* pair) { m_pair = pair; }
    // toggle (then update), state, update and turn on the followed front surface.
    void toggleNow();
    int stateNow() const;
    void updateNow();
    void turnNow(int command);

Q_SIGNALS:
    // After every update: whether the pad shows.
    void padChanged(bool enabled);

private:
    QPointer<PSVR> m_psvr;
    const SurfacePair* m_pair = nullptr;
    bool m_spherical = false; // the current recording is tagged spherical
    bool m_padEnabled = false;
};

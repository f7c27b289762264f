#pragma once
// Keeps the rear camera's surface on the front one's time.
//
// The two players are started one after the other and run on their own
// clocks, so they drift apart (start-up, seeks, decoding hiccups, rates other
// than 1). Each look measures the difference and closes small gaps by running
// the rear a few percent faster or slower; it seeks the rear onto the front
// only for a large gap (start-up, a stall), at most once per
// kCameraSeekInterval unless the gap is a break. An exact seek on a loaded
// machine shows as a stutter, which a speed nudge never does.
// Main thread only.
class VideoPlayerView;

class CameraSync
{
public:
    static constexpr double kMaxCameraDrift = 0.1;
    static constexpr double kCameraSeekGap = 0.1;
    static constexpr double kCameraBreakGap = 0.5;
    static constexpr double kCameraSeekInterval = 10.0;
    static constexpr double kCameraSeekSettle = 1.0;
    static constexpr double kCameraMaxNudge = 0.05;
    static constexpr double kCameraNudgeDeadband = 0.015;

    // A new pair: the counts start again.
    void reset();
    // Both surfaces were given the play speed again: the rear runs unnudged.
    void rateApplied() { m_fRearNudge = 0; }
    // Both surfaces were sought together: let the seeks land before the pair
    // is measured again; the rear's own seeks count afresh from here.
    void bothSought();
    // One look at the pair, both ready: a gap above kCameraSeekGap is sought
    // away (at most once per kCameraSeekInterval while playing, unless it
    // exceeds kCameraBreakGap), a smaller one is closed by running the rear
    // up to kCameraMaxNudge faster or slower. True when it sought.
    bool sync(VideoPlayerView& front, VideoPlayerView& rear, float playSpeed);

    // Seeks and speed changes made since the pair was opened.
    int seekCount() const { return m_nCameraSyncCount; }
    int nudgeCount() const { return m_nCameraNudgeCount; }

private:
    int m_nCameraSyncCount = 0;
    int m_nCameraNudgeCount = 0;
    // The rear's speed offset now (a fraction of the rate), when it last
    // sought, and until when a seek is still landing (steady clock, seconds).
    double m_fRearNudge = 0;
    double m_dLastCameraSeek = -1e9;
    double m_dCameraQuietUntil = 0;
};

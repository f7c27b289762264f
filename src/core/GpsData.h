#pragma once
// One second of a recording's track: position, speed, course, altitude and the
// three-axis acceleration. Values that are not finite never get in: every
// setter turns NaN and infinity into the field's neutral value, so the map
// page, the overlay and the KML writer can print what they read.
#include <cmath>
#include <cstdint>

class GpsData
{
public:
    // One raw G-sensor count in g.
    static constexpr double kGPerCount = 0.016;
    // Altitude of a sample that carries no altitude reading.
    static constexpr double kNoAltitude = 65535.0;

    GpsData() = default;

    void ResetData() { *this = GpsData(); }
    // Copies every field of another sample; false when given none.
    bool Copy(const GpsData* other);

    // Raw counts; each acceleration becomes count x 0.016 g.
    void setSensorValue(int x, int y, int z);
    // Accelerations in g; the raw counts are left as they are.
    void setSensorValue(float x, float y, float z);

    int16_t GetSensorX() const { return m_nSensorX; }
    int16_t GetSensorY() const { return m_nSensorY; }
    int16_t GetSensorZ() const { return m_nSensorZ; }
    float GetGValueX() const { return m_fGSensorX; }
    float GetGValueY() const { return m_fGSensorY; }
    float GetGValueZ() const { return m_fGSensorZ; }

    float fLatitude() const { return m_fLatitude; }
    float fLongitude() const { return m_fLongitude; }
    float fSpeed() const { return m_fSpeed; }
    float fDirection() const { return m_fDirection; }
    int16_t nSensorX() const { return m_nSensorX; }
    int16_t nSensorY() const { return m_nSensorY; }
    int16_t nSensorZ() const { return m_nSensorZ; }
    float fGSensorX() const { return m_fGSensorX; }
    float fGSensorY() const { return m_fGSensorY; }
    float fGSensorZ() const { return m_fGSensorZ; }
    double dAltitude() const { return m_dAltitude; }

    void setFLatitude(float v) { m_fLatitude = finiteOr(v, 0.0f); }
    void setFLongitude(float v) { m_fLongitude = finiteOr(v, 0.0f); }
    void setFSpeed(float v) { m_fSpeed = finiteOr(v, 0.0f); }
    void setFDirection(float v) { m_fDirection = finiteOr(v, -1.0f); }
    void setNSensorX(int16_t v) { m_nSensorX = v; }
    void setNSensorY(int16_t v) { m_nSensorY = v; }
    void setNSensorZ(int16_t v) { m_nSensorZ = v; }
    void setFGSensorX(float v) { m_fGSensorX = finiteOr(v, 0.0f); }
    void setFGSensorY(float v) { m_fGSensorY = finiteOr(v, 0.0f); }
    void setFGSensorZ(float v) { m_fGSensorZ = finiteOr(v, 0.0f); }
    void setDAltitude(double v) { m_dAltitude = finiteOr(v, 0.0); }

    // False for a sample the track made up to fill a second no source read
    // (the padding to the video's length, a clip's second outside every
    // recording). Displays may show it; exports never present it as a reading.
    bool isReading() const { return m_bReading; }
    void setReading(bool reading) { m_bReading = reading; }

    // The GPS's own UTC time of this second (ms since 1970), where the source
    // carries one (an RMC date and time, an embedded fix's time); it tells how
    // far the camera's clock is off.
    static constexpr int64_t kNoUtc = INT64_MIN;
    bool hasUtc() const { return m_utcMs != kNoUtc; }
    int64_t utcMs() const { return m_utcMs; }
    void setUtcMs(int64_t ms) { m_utcMs = ms; }

private:
    template <typename T> static T finiteOr(T v, T neutral) { return std::isfinite(v) ? v : neutral; }

    float m_fLatitude = 0;
    float m_fLongitude = 0;
    float m_fSpeed = 0;
    float m_fDirection = -1;
    int16_t m_nSensorX = 0;
    int16_t m_nSensorY = 0;
    int16_t m_nSensorZ = 0;
    bool m_bReading = true;
    float m_fGSensorX = 0;
    float m_fGSensorY = 0;
    float m_fGSensorZ = 0;
    double m_dAltitude = 0;
    int64_t m_utcMs = kNoUtc;
};

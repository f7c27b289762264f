#pragma once
// The track of one recording: one sample per second of video (sample i belongs
// to second i), the extremes of acceleration over all three axes together, and
// the time-stamp preferences the camera wrote into its log.
//
// Samples live in a deque so that appending never moves the samples already
// there: a pointer from GetGpsData stays valid until the track is cleared or a
// sample is inserted or deleted in the middle.
#include "core/GpsData.h"

#include <cstdint>
#include <deque>
#include <string>

class GpsList
{
public:
    // Longest track the padding and the embedded readers will build from a
    // video length (one day of seconds); a container that claims more is not
    // allowed to decide an allocation.
    static constexpr int kMaxVideoSeconds = 86400;

    GpsList() = default;

    int GetDataCount() const { return static_cast<int>(mGpslist.size()); }
    // Inserts a copy of the sample at index when 0 <= index < count, else appends.
    // Returns the new count, or -1 (nothing changed) when given no sample.
    int InsertData(const GpsData* data, int index);
    // Makes a fresh sample with these values and inserts it as above.
    int InsertData(float latitude, float longitude, float speed, float direction, int index);
    // Removes that very sample (by identity); false when it is not in the track.
    bool DeleteData(const GpsData* data, bool freeData);
    // A negative index means the last sample; none at or beyond the count.
    GpsData* GetGpsData(int index);
    const GpsData* GetGpsData(int index) const;
    GpsData* GetLastData();
    const GpsData* GetLastData() const;
    // Empties the track and resets every field except the model name.
    void ClearAllData();
    // Pads a track with G-sensor data to the video length (see the .cpp); the
    // samples added are not readings (GpsData::isReading).
    void SyncVideoDuration(int seconds);

    bool IsGPSReady() const { return m_bGps; }
    bool IsGSensorReady() const { return m_bSenser; }
    float GetMaxGValue() const { return m_fMaxGValue; }
    float GetMinGValue() const { return m_fMinGValue; }
    int GetMaxGIndex() const { return m_nMaxGIndex; }
    int GetMinGIndex() const { return m_nMinGIndex; }

    // Records G values just attached to the sample at `index`: the extremes are
    // over all three axes, and a track of exactly one sample always points its
    // indexes at it.
    void UpdateGExtremes(float x, float y, float z, int index);

    void SetShowSpeed(bool show) { m_bShowSpeed = show; }
    bool IsShowSpeed() const { return m_bShowSpeed; }
    void SetSpeedUnit(int16_t unit) { m_nSpeedUnit = unit; }
    int16_t GetSpeedUnit() const { return m_nSpeedUnit; }
    void SetStampType(int16_t type) { m_nStampType = type; }
    int16_t GetStampType() const { return m_nStampType; }
    void SetTextStamp(const std::string& text) { m_strTextStamp = text; }
    const std::string& GetTextStamp() const { return m_strTextStamp; }
    // A null name keeps the old one.
    void setModelName(const char* name)
    {
        if (name)
            m_strModelName = name;
    }
    void setModelName(const std::string& name) { m_strModelName = name; }
    const std::string& getModelName() const { return m_strModelName; }

    const std::deque<GpsData>& gpslist() const { return mGpslist; }
    float fMaxGValue() const { return m_fMaxGValue; }
    float fMinGValue() const { return m_fMinGValue; }
    int nMaxGIndex() const { return m_nMaxGIndex; }
    int nMinGIndex() const { return m_nMinGIndex; }
    bool bGps() const { return m_bGps; }
    bool bSenser() const { return m_bSenser; }
    void setFMaxGValue(float v) { m_fMaxGValue = std::isfinite(v) ? v : 0.0f; }
    void setFMinGValue(float v) { m_fMinGValue = std::isfinite(v) ? v : 0.0f; }
    void setNMaxGIndex(int v) { m_nMaxGIndex = v; }
    void setNMinGIndex(int v) { m_nMinGIndex = v; }
    void setBGps(bool v) { m_bGps = v; }
    void setBSenser(bool v) { m_bSenser = v; }

    // Appends a sample and returns it (the parsers' fast path).
    GpsData& Append(const GpsData& data)
    {
        mGpslist.push_back(data);
        return mGpslist.back();
    }

private:
    std::deque<GpsData> mGpslist;
    float m_fMaxGValue = 0;
    float m_fMinGValue = 0;
    int m_nMaxGIndex = -1;
    int m_nMinGIndex = -1;
    bool m_bGps = false;
    bool m_bSenser = false;
    bool m_bShowSpeed = true;
    int16_t m_nSpeedUnit = 0;
    int16_t m_nStampType = 0;
    std::string m_strTextStamp;
    std::string m_strModelName;
};

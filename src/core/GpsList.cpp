#include "core/GpsList.h"

#include <algorithm>

int GpsList::InsertData(const GpsData* data, int index)
{
    if (!data)
        return -1;
    if (index >= 0 && index < GetDataCount())
        mGpslist.insert(mGpslist.begin() + index, *data);
    else
        mGpslist.push_back(*data);
    return GetDataCount();
}

int GpsList::InsertData(float latitude, float longitude, float speed, float direction, int index)
{
    GpsData data;
    data.setFLatitude(latitude);
    data.setFLongitude(longitude);
    data.setFSpeed(speed);
    data.setFDirection(direction);
    return InsertData(&data, index);
}

bool GpsList::DeleteData(const GpsData* data, bool)
{
    for (auto it = mGpslist.begin(); it != mGpslist.end(); ++it) {
        if (&*it == data) {
            mGpslist.erase(it);
            return true;
        }
    }
    return false;
}

GpsData* GpsList::GetGpsData(int index)
{
    return const_cast<GpsData*>(static_cast<const GpsList*>(this)->GetGpsData(index));
}

const GpsData* GpsList::GetGpsData(int index) const
{
    if (mGpslist.empty())
        return nullptr;
    if (index < 0)
        return &mGpslist.back();
    if (index >= GetDataCount())
        return nullptr;
    return &mGpslist[static_cast<std::size_t>(index)];
}

GpsData* GpsList::GetLastData()
{
    return mGpslist.empty() ? nullptr : &mGpslist.back();
}

const GpsData* GpsList::GetLastData() const
{
    return mGpslist.empty() ? nullptr : &mGpslist.back();
}

void GpsList::ClearAllData()
{
    std::string model = std::move(m_strModelName);
    *this = GpsList();
    m_strModelName = std::move(model);
}

void GpsList::SyncVideoDuration(int seconds)
{
    seconds = std::min(seconds, kMaxVideoSeconds);
    if (!m_bSenser || GetDataCount() >= seconds)
        return;
    GpsData pad;
    if (const GpsData* last = GetLastData()) {
        pad.setFLatitude(last->fLatitude());
        pad.setFLongitude(last->fLongitude());
    }
    pad.setFSpeed(-1);
    pad.setFDirection(-1);
    pad.setReading(false);
    while (GetDataCount() < seconds)
        mGpslist.push_back(pad);
}

void GpsList::UpdateGExtremes(float x, float y, float z, int index)
{
    const float newMax = std::max({m_fMaxGValue, x, y, z});
    const float newMin = std::min({m_fMinGValue, x, y, z});
    const bool single = GetDataCount() == 1;
    if (newMax > m_fMaxGValue || single)
        m_nMaxGIndex = index;
    if (newMin < m_fMinGValue || single)
        m_nMinGIndex = index;
    m_fMaxGValue = newMax;
    m_fMinGValue = newMin;
}

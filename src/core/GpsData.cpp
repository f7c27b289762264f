#include "core/GpsData.h"

bool GpsData::Copy(const GpsData* other)
{
    if (!other)
        return false;
    *this = *other;
    return true;
}

void GpsData::setSensorValue(int x, int y, int z)
{
    m_nSensorX = static_cast<int16_t>(x);
    m_nSensorY = static_cast<int16_t>(y);
    m_nSensorZ = static_cast<int16_t>(z);
    m_fGSensorX = static_cast<float>(m_nSensorX * kGPerCount);
    m_fGSensorY = static_cast<float>(m_nSensorY * kGPerCount);
    m_fGSensorZ = static_cast<float>(m_nSensorZ * kGPerCount);
}

void GpsData::setSensorValue(float x, float y, float z)
{
    setFGSensorX(x);
    setFGSensorY(y);
    setFGSensorZ(z);
}

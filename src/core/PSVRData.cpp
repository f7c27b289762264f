#include "core/PSVRData.h"

PSVRData::PSVRData(const uint8_t* data, std::size_t length)
{
    if (data && length == kReportSize)
        m_raw.assign(data, data + length);
}

int16_t PSVRData::readInt16(std::size_t offset) const
{
    if (offset > m_raw.size() || m_raw.size() - offset < 2)
        return 0;
    const uint16_t v = static_cast<uint16_t>(m_raw[offset] | (m_raw[offset + 1] << 8));
    return static_cast<int16_t>(v);
}

int16_t PSVRData::sumAt(std::size_t first, std::size_t second) const
{
    const uint16_t sum = static_cast<uint16_t>(static_cast<uint16_t>(readInt16(first)) +
                                               static_cast<uint16_t>(readInt16(second)));
    return static_cast<int16_t>(sum);
}

int16_t PSVRData::yawAcceleration() const
{
    return sumAt(20, 36);
}

int16_t PSVRData::pitchAcceleration() const
{
    return sumAt(22, 38);
}

int16_t PSVRData::rollAcceleration() const
{
    return sumAt(24, 40);
}

#pragma once
// One input report of the PlayStation VR headset's motion sensor: 64 bytes,
// two samples of the head's turning rates as signed 16-bit little-endian
// values (yaw at 20 and 36, pitch at 22 and 38, roll at 24 and 40). A reading
// is the sum of the two samples wrapped to 16 bits, as the headset's own
// arithmetic does (30000 + 10000 gives -25536).
#include <cstddef>
#include <cstdint>
#include <vector>

class PSVRData
{
public:
    static constexpr std::size_t kReportSize = 64;

    PSVRData() = default;
    // Copies the report; anything but 64 bytes gives an empty report whose
    // readings are all 0 (isValid() false).
    PSVRData(const uint8_t* data, std::size_t length);

    bool isValid() const { return m_raw.size() == kReportSize; }
    const std::vector<uint8_t>& rawData() const { return m_raw; }

    // The signed 16-bit value at the offset; 0 past the end.
    int16_t readInt16(std::size_t offset) const;
    int16_t yawAcceleration() const;
    int16_t pitchAcceleration() const;
    int16_t rollAcceleration() const;

private:
    int16_t sumAt(std::size_t first, std::size_t second) const;
    std::vector<uint8_t> m_raw;
};

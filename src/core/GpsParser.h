#pragma once
// Reads a camera's NMEA track log into a track: one sample per position
// sentence ($GPRMC/$GNRMC), with altitude ($GPGGA/$GNGGA) and G-sensor values
// ($GSENSOR raw counts, $GSENSORD in g) attached to the sample last appended,
// and the time-stamp preferences of $GTIMESTAMP. Checksums are not verified and
// identifiers are compared exactly.
//
// The log is streamed in blocks through a one-sentence buffer of at most 200
// characters, so any line length, NUL bytes or binary garbage cost linear time
// and no memory beyond the samples appended. A position outside [-90, 90] x
// [-180, 180] counts as no fix. Only a regular file is opened, never blocking.
// A parser is made for one file.
#include <array>
#include <cstdint>
#include <cstdio>
#include <string>

class GpsList;

class GpsParser
{
public:
    static constexpr int kMaxSentence = 200;
    static constexpr int kMaxWords = 24;
    static constexpr int kMaxWordLength = 20;
    static constexpr double kMPHPerKnot = 1.150779;

    GpsParser() = default;

    // Parses the whole log into the track (appending). False when the file
    // cannot be opened or holds nothing to parse.
    bool ParseFile(const std::string& path, GpsList* list);
    // Number of bytes to parse: the file's size, or the length a header in the
    // first 16 bytes states (never more than the file holds).
    static int64_t GetNmeaFileSize(std::FILE* file);

    void ProcessChar(unsigned char c);
    bool ParseSentence(const std::string& sentence);
    bool ParseGpsWords(const std::string& sentence);

    void ParseGPRMC();
    void ParseGPGGA();
    void ParseGSENSOR();
    void ParseGSENSORD();
    void ParseTimeStamp();

    // Lower-case hexadecimal, at most 8 digits. An empty text keeps the result.
    static bool wxtoi(const std::string* text, int64_t& result);
    static float MaxValue(float a, float b) { return a > b ? a : b; }
    static float MinValue(float a, float b) { return a < b ? a : b; }

    void setLastValidLocation(float latitude, float longitude);
    bool getLastValidLocation(float& latitude, float& longitude) const;

    // Used while parsing; also lets a caller feed text without a file.
    void SetGpsList(GpsList* list) { m_poGpsList = list; }
    const std::string& word(int i) const { return m_Words[static_cast<std::size_t>(i)]; }
    int wordCount() const { return m_nWordCount; }

private:
    // One sample per second: a log never makes a track longer than the
    // longest recording (GpsList::kMaxVideoSeconds); later samples are dropped.
    bool trackIsFull() const;

    GpsList* m_poGpsList = nullptr;
    bool m_bStartOfLine = false;
    char m_szGpsData[kMaxSentence] = {};
    int16_t m_nGpsDataCount = 0;
    std::array<std::string, kMaxWords> m_Words;
    int16_t m_nWordCount = 0;
    double m_MPHPerKnot = kMPHPerKnot;
    float m_fLastValidLatitude = 0;
    float m_fLastValidLongitude = 0;
};

// Number parsing shared by the track readers: leading blanks and one sign, then
// a decimal number in the C locale; trailing text is ignored. Text that is not
// a number, and numbers that are not finite ("nan", "inf", "1e999"), give
// false and leave the value alone.
bool pmParseDecimal(const char* begin, const char* end, double& value);
// Leading blanks, a sign and decimal digits, like atoi; 0 when there are none.
long pmParseLeadingInt(const char* begin, const char* end);

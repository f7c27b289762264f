#pragma once
// Reads a camera's NMEA track log into a track: one sample per position
// sentence ($GPRMC/$GNRMC), with altitude ($GPGGA/$GNGGA) and G-sensor values
// ($GSENSOR raw counts, $GSENSORD in g) attached to the sample last appended,
// and the time-stamp preferences of $GTIMESTAMP. A sentence whose checksum is
// present and wrong is skipped (the count goes to the log once per file); one
// without a checksum is read. Identifiers are compared exactly. Numbers are
// plain decimals; an altitude outside -500 to 10,000 m and a speed above
// 500 km/h count as no reading of that field.
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
    static constexpr float kMaxSpeedKmh = 500;
    static constexpr double kMinAltitude = -500;
    static constexpr double kMaxAltitude = 10000;

    GpsParser() = default;

    // Parses the whole log into the track (appending). False when the file
    // cannot be opened or holds nothing to parse.
    bool ParseFile(const std::string& path, GpsList* list);
    // Number of bytes to parse: the file's size, or the length a header in the
    // first 16 bytes states (never more than the file holds).
    static int64_t GetNmeaFileSize(std::FILE* file);

    void ProcessChar(unsigned char c);
    bool ParseSentence(const std::string& text);
    // The checksum rule of ParseSentence on its own: a "*" must be followed
    // by exactly the two hexadecimal digits of the XOR of the characters
    // between "$" and "*" (then it is taken off); a sentence without one is
    // kept as it is. False when the checksum is present and wrong.
    static bool stripChecksum(std::string& sentence);
    // Sentences skipped so far for a wrong checksum.
    int badChecksums() const { return m_nBadChecksums; }
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
    static int hexDigit(char c);

    GpsList* m_poGpsList = nullptr;
    bool m_bStartOfLine = false;
    char m_szGpsData[kMaxSentence] = {};
    int16_t m_nGpsDataCount = 0;
    std::array<std::string, kMaxWords> m_Words;
    int16_t m_nWordCount = 0;
    double m_MPHPerKnot = kMPHPerKnot;
    float m_fLastValidLatitude = 0;
    float m_fLastValidLongitude = 0;
    int m_nBadChecksums = 0;
};

// Number parsing of the track readers: blanks around, one sign, digits with
// at most one decimal point, nothing else (no hexadecimal, exponent, "inf" or
// "nan"). Anything else gives false and leaves the value alone.
bool pmParseDecimal(const char* begin, const char* end, double& value);
// Leading blanks, a sign and decimal digits, like atoi; 0 when there are none.
long pmParseLeadingInt(const char* begin, const char* end);

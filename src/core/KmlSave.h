#pragma once
// Writes a track as a KML 2.0 document: header with the file name and the
// moment of export, a fixed style block, a green start marker, the whole track
// as one line, and a red end marker. The text is fixed byte for byte; only the
// CDATA sections adapt, so that any file name reads back exactly from the XML
// (see StringAsCData).
#include "core/Clock.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

class GpsList;

// Opens an export's output for writing, truncated, created when missing. Only
// a regular file (or a link to one) is used: a FIFO, device, socket or folder
// is refused at once, with errno EINVAL (or the open's own errno), and is never
// written or waited on. Null on failure.
std::FILE* pmCreateOutputFile(const std::string& path);

class KmlSave
{
public:
    struct Location {
        double longitude = 0;
        double latitude = 0;
        double altitude = 0;
    };

    KmlSave() = default;
    ~KmlSave();
    KmlSave(const KmlSave&) = delete;
    KmlSave& operator=(const KmlSave&) = delete;

    // Opens (truncating) the file for writing; only a regular file (see
    // pmCreateOutputFile).
    bool CreateFile(const std::string& path);
    void WriteHeader(const std::string& name, const std::string& description);
    void WriteStyles();
    // "<![CDATA[" text "]]>", made safe for XML: a "]]>" inside is split across
    // two sections, a carriage return (which a parser would turn into a line
    // feed) is written as a character reference between sections, and what XML
    // cannot carry at all (other control characters, invalid UTF-8,
    // U+FFFE/U+FFFF) is dropped.
    static std::string StringAsCData(const std::string& text);
    void WriteBeginTrack(const std::string& name, const std::string& description, const Location& location);
    void WritePlacemark(const std::string& name, const std::string& description, const std::string& style,
                        const Location& location);
    void WriteOpenSegment();
    void WriteLocation(const Location& location);
    void WriteCloseSegment();
    void WriteEndTrack(const std::string& name, const std::string& description, const Location& location);
    void WriteFooter();
    void WriteToFile(const std::string& text);
    // Closes the file; false when anything could not be written.
    bool CloseFile();

private:
    std::FILE* m_myFile = nullptr;
    bool m_bFailed = false;
};

// The export time in the document is pmNow() (core/Clock.h).
// "YYYY/MM/DD HH:MM:SS" of an instant, local time.
std::string pmFormatKmlTime(std::chrono::system_clock::time_point when);

enum class KmlResult { Ok, NoTrack, WriteFailed };
// Writes the document of a track: name = `documentName`, or the last
// component of the path when that is empty; description = the export time.
// NoTrack (and no file) for a null or empty track; WriteFailed when the file
// cannot be created or written, in which case the partial file is removed.
KmlResult pmOutputKML(const std::string& path, const GpsList* list,
                      const std::string& documentName = std::string());

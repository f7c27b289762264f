#pragma once
// The application's plain-text activity log. One line per call, opened and
// closed per line in append mode so worker threads can share the file through
// the operating system. No levels, no buffering, no rotation.
#include "core/Clock.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>


// Appends "YYYY-MM-DD HH:MM:SS.<ms> message\n" (local time, milliseconds not
// zero-padded). Drops the line silently when the file cannot be opened or no
// log file has been chosen. The log's own name is never followed: a symbolic
// link there is replaced by a fresh log, and anything else that is no plain
// file is left alone (the line is dropped).
void pmWriteLog(const std::string& message);
// Deletes the log file; called once at launch.
void pmResetLog();

// Where the log goes; an empty path turns logging off (the default, so tools
// and tests never write into a user's Documents folder by accident).
void pmSetLogFilePath(const std::filesystem::path& path);
std::filesystem::path pmGetLogFilePath();

// Lines are stamped with pmNow() (core/Clock.h), which tests can fix.
// The formatted line for a given instant, without writing it.
std::string pmFormatLogLine(std::chrono::system_clock::time_point when, const std::string& message);

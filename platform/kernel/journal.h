// journal.h: the device journal, one JSON line per device event in journal.log.
//
//   {"t":"2027-03-28T02:30:00.000","pid":123,"program":"\\Windows\\clock.exe",
//    "event":"sound.play","file":"\\Windows\\alarm1.wav","volume":"0x66666666"}
//
// "t" is the device's local time. Lines from many processes never interleave: each line is
// written by one write() under an exclusive lock of the file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ce {

class JournalLine {
public:
    explicit JournalLine(std::string_view event);
    JournalLine& str(std::string_view key, std::string_view utf8Value);
    JournalLine& str(std::string_view key, const char16_t* value); // UTF-16 text
    JournalLine& num(std::string_view key, int64_t value);
    JournalLine& real(std::string_view key, double value);
    JournalLine& flag(std::string_view key, bool value);
    // Appends the line to the device's journal; does nothing without a device.
    void write();
    const std::string& text() const { return body_; }

private:
    void key(std::string_view k);
    std::string body_;
};

// The device path of the running program ("\Windows\clock.exe"), shown in every line.
void setJournalProgram(std::string_view devicePath);
std::string journalProgram();

// Escapes a UTF-8 string as the inside of a JSON string.
std::string jsonEscape(std::string_view utf8);

} // namespace ce

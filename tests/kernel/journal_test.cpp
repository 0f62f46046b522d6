// journal_test.cpp: the device journal's lines: their form, their escaping, and that lines
// from several processes never interleave.
#include <fstream>
#include <map>

#include "kernel/clock.h"
#include "kernel/journal.h"
#include "testdevice.h"

namespace {

using cetest::DeviceTest;

std::vector<std::string> journalLines(const std::filesystem::path& dir) {
    std::ifstream in(dir / "journal.log");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST(JournalEscape, QuotesControlsAndBadBytes) {
    EXPECT_EQ(ce::jsonEscape("a\"b\\c"), "a\\\"b\\\\c");
    EXPECT_EQ(ce::jsonEscape("line\r\nnext\ttab\x01"), "line\\r\\nnext\\ttab\\u0001");
    EXPECT_EQ(ce::jsonEscape("Fran\xC3\xA7"
                             "ais \xC2\xBD"),
              "Fran\xC3\xA7"
              "ais \xC2\xBD");
    // Bytes that are not UTF-8 (a Windows-1252 "ç", a lone continuation byte, an overlong
    // slash, a truncated sequence) become U+FFFD so the journal stays valid JSON.
    EXPECT_EQ(ce::jsonEscape("Fran\xE7"
                             "ais"),
              "Fran\xEF\xBF\xBD"
              "ais");
    EXPECT_EQ(ce::jsonEscape("\x80"), "\xEF\xBF\xBD");
    EXPECT_EQ(ce::jsonEscape("\xC0\xAF"), "\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(ce::jsonEscape("\xE2\x82"), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST_F(DeviceTest, JournalLineCarriesTimeProgramAndFields) {
    device.freezeAt("2027-03-28T00:59:59.250Z"); // device zone is UTC
    ce::setJournalProgram("\\Windows\\clock.exe");
    ce::JournalLine("sound.play")
        .str("file", u"\\Windows\\alarm1.wav")
        .str("volume", "0x66666666")
        .num("round", 3)
        .flag("sync", false)
        .write();
    auto lines = journalLines(device.dir());
    ASSERT_EQ(lines.size(), 1u);
    std::string expected =
        "{\"t\":\"2027-03-28T00:59:59.250\",\"pid\":" + std::to_string(getpid()) +
        ",\"program\":\"\\\\Windows\\\\clock.exe\",\"event\":\"sound.play\","
        "\"file\":\"\\\\Windows\\\\alarm1.wav\",\"volume\":\"0x66666666\","
        "\"round\":3,\"sync\":false}";
    EXPECT_EQ(lines[0], expected);
}

// Four processes append long lines at the same time; every line must arrive whole.
TEST_F(DeviceTest, LinesFromSeveralProcessesStayWhole) {
    constexpr int kProcesses = 4, kLines = 150;
    std::vector<std::unique_ptr<cetest::Child>> children;
    for (int p = 0; p < kProcesses; ++p)
        children.push_back(std::make_unique<cetest::Child>([p] {
            std::string payload(6000 + p * 777, static_cast<char>('a' + p));
            for (int i = 0; i < kLines; ++i)
                ce::JournalLine("test.line")
                    .num("writer", p)
                    .num("i", i)
                    .str("payload", payload)
                    .write();
            return 0;
        }));
    for (auto& c : children)
        ASSERT_EQ(c->wait(), 0);

    auto lines = journalLines(device.dir());
    ASSERT_EQ(lines.size(), static_cast<size_t>(kProcesses * kLines));
    std::map<int, int> next;
    for (const auto& line : lines) {
        ASSERT_EQ(line.rfind("{\"t\":\"", 0), 0u) << line.substr(0, 80);
        ASSERT_EQ(line.back(), '}');
        size_t w = line.find("\"writer\":");
        ASSERT_NE(w, std::string::npos);
        int writer = line[w + 9] - '0';
        ASSERT_TRUE(writer >= 0 && writer < kProcesses);
        std::string payload(6000 + writer * 777, static_cast<char>('a' + writer));
        EXPECT_NE(line.find("\"payload\":\"" + payload + "\"}"), std::string::npos);
        // Each writer's lines arrive in its own order.
        size_t ip = line.find("\"i\":");
        EXPECT_EQ(atoi(line.c_str() + ip + 4), next[writer]++);
    }
}

TEST(JournalNoDevice, WritingWithoutADeviceIsHarmless) {
    ce::JournalLine line("nothing.here");
    line.write();
    EXPECT_NE(line.text().find("\"event\":\"nothing.here\""), std::string::npos);
}

} // namespace

// shellfixture.cpp: the shell tests' fixture (see shellfixture.h).
#include "shellfixture.h"

#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "kernel/clock.h"
#include "kernel/strings.h"
#include "windows.h"

namespace cetest {

namespace {

std::u16string wide(const std::string& s) {
    return ce::fromUtf8(s);
}

void setDword(const std::string& keyPath, const std::string& value, DWORD data) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, wide(keyPath).c_str(), 0, nullptr,
                                             0, 0, nullptr, &key, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, wide(value).c_str(), 0, REG_DWORD,
                                            reinterpret_cast<const BYTE*>(&data), sizeof data));
    RegCloseKey(key);
}

void setString(const std::string& keyPath, const std::string& value, const std::string& data) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, wide(keyPath).c_str(), 0, nullptr,
                                             0, 0, nullptr, &key, nullptr));
    std::u16string text = wide(data);
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExW(key, wide(value).c_str(), 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>((text.size() + 1) * sizeof(char16_t))));
    RegCloseKey(key);
}

std::string itemKey(const std::string& name) {
    return "Software\\Microsoft\\Today\\Items\\\"" + name + "\"";
}

std::string readText(const std::filesystem::path& p) {
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace

uint32_t parseHex(const std::string& text) {
    return static_cast<uint32_t>(strtoul(text.c_str(), nullptr, 16));
}

std::string wordValue(const std::string& line, const std::string& key) {
    std::istringstream in(line);
    std::string word;
    while (in >> word)
        if (word.rfind(key + "=", 0) == 0) return word.substr(key.size() + 1);
    return "";
}

ShellTest::ShellTest() {
    // A frozen clock: the Today screen's two-second queries happen only when a test advances.
    device.freezeAt("2027-03-10T09:00:00Z");
    EXPECT_EQ(0, cedev({"stub", "\\Windows\\testitem.dll", "test_todayitem"}));
}

ShellTest::~ShellTest() {
    stopShell();
}

void ShellTest::addItem(const std::string& name, int order, const std::string& dll,
                        uint32_t enabled, uint32_t flags) {
    setString(itemKey(name), "DLL", dll);
    setDword(itemKey(name), "Enabled", enabled);
    if (order >= 0) setDword(itemKey(name), "Order", static_cast<DWORD>(order));
    if (flags) setDword(itemKey(name), "Flags", flags);
}

void ShellTest::setItemValue(const std::string& name, const std::string& value, uint32_t data) {
    setDword(itemKey(name), value, data);
}

void ShellTest::setItemSetting(const std::string& name, const std::string& value, uint32_t data) {
    setDword("Software\\Test\\TodayItem\\" + name, value, data);
}

bool ShellTest::startShell() {
    std::string out, err;
    int rc = cedev({"shell", "start", "--headless"}, &out, &err);
    EXPECT_EQ(0, rc) << err;
    if (rc != 0) return false;
    record = ce::display::parseDisplayRecord(out);
    EXPECT_TRUE(record.has_value()) << out;
    return record.has_value();
}

void ShellTest::stopShell() {
    if (!record) return;
    std::string out, err;
    EXPECT_EQ(0, cedev({"shell", "stop"}, &out, &err)) << err;
    // Whatever the stop did, nothing this test started outlives it.
    ce::display::endRecordedProcess(record->desktopPid, "ceshell", 500);
    ce::display::endRecordedProcess(record->xvfbPid, "Xvfb", 500);
    record.reset();
}

std::vector<std::string> ShellTest::itemLog(const std::string& prefix) {
    std::istringstream in(readText(device.fs() / "Temp" / "todayitem.log"));
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(prefix, 0) == 0) lines.push_back(line);
    return lines;
}

bool ShellTest::waitForLine(const std::string& line, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    do {
        for (const auto& l : itemLog())
            if (l == line) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

bool ShellTest::waitForCount(const std::string& prefix, size_t n, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    do {
        if (itemLog(prefix).size() >= n) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

std::string ShellTest::journal() {
    return readText(device.dir() / "journal.log");
}

void ShellTest::advance(int ms) {
    std::string error;
    ASSERT_TRUE(ce::advanceDeviceClock(static_cast<int64_t>(ms) * 10000, &error)) << error;
}

int ShellTest::cedev(const std::vector<std::string>& args, std::string* out, std::string* err) {
    return runCedev(args, out, err, device.dir());
}

ShellTest::Findings ShellTest::probe(const std::function<void(Findings&)>& fn) {
    std::filesystem::path file = device.dir() / ("probe-" + std::to_string(getpid()) + ".txt");
    std::filesystem::remove(file);
    int rc = runInChild([&] {
        Findings found;
        fn(found);
        std::ofstream f(file);
        for (const auto& [k, v] : found)
            f << k << ' ' << v << '\n';
        return 0;
    });
    EXPECT_EQ(0, rc) << "the probe died";
    Findings found;
    std::istringstream in(readText(file));
    std::string line;
    while (std::getline(in, line)) {
        size_t space = line.find(' ');
        if (space != std::string::npos) found[line.substr(0, space)] = line.substr(space + 1);
    }
    return found;
}

} // namespace cetest

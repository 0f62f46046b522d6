// reg_process_test.cpp: one registry for every process of the device: writers in two processes
// at once, a writer killed in the middle of a write, and changes seen across processes.
#include <csignal>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include "registry/regdb.h"
#include "regtest.h"
#include "testdevice.h"

namespace {

using cetest::Child;
using cetest::DeviceTest;
using namespace regtest;

class RegProcesses : public DeviceTest {};

// Two processes each write 200 distinct values into one key at the same time: no write is lost
// and none fails for the other's lock.
TEST_F(RegProcesses, ConcurrentWritersLoseNothing) {
    auto writer = [](char16_t prefix) {
        return [prefix]() -> int {
            HKEY key = nullptr;
            if (RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Shared", 0, nullptr, 0, 0, nullptr,
                                &key, nullptr) != ERROR_SUCCESS)
                return 10;
            for (int i = 0; i < 200; ++i) {
                std::u16string name(1, prefix);
                for (char c : std::to_string(i))
                    name.push_back(static_cast<char16_t>(c));
                DWORD value = (prefix == u'a' ? 0x10000 : 0x20000) + i;
                if (setDword(key, name.c_str(), value) != ERROR_SUCCESS) return 11;
            }
            RegCloseKey(key);
            return 0;
        };
    };
    Child a(writer(u'a'));
    Child b(writer(u'b'));
    EXPECT_EQ(a.wait(), 0);
    EXPECT_EQ(b.wait(), 0);
    TestKey key(u"Software\\Shared");
    DWORD values = 0;
    ASSERT_EQ(RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                               nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(values, 400u);
    for (int i = 0; i < 200; ++i) {
        std::u16string a16 = u"a", b16 = u"b";
        for (char c : std::to_string(i)) {
            a16.push_back(static_cast<char16_t>(c));
            b16.push_back(static_cast<char16_t>(c));
        }
        EXPECT_EQ(readDword(key, a16.c_str()), 0x10000u + i);
        EXPECT_EQ(readDword(key, b16.c_str()), 0x20000u + i);
    }
}

std::vector<BYTE> pattern(int which, size_t size) {
    std::vector<BYTE> v(size);
    for (size_t i = 0; i < size; ++i)
        v[i] = which ? static_cast<BYTE>(i * 13 + 5) : static_cast<BYTE>(255 - i * 7);
    return v;
}

// A process killed at any point of a write leaves the old or the new value, never a mixture,
// and the database stays sound for everyone else.
TEST_F(RegProcesses, KilledWriterLeavesOneWholeValue) {
    constexpr size_t kSize = 256 * 1024;
    const std::vector<BYTE> first = pattern(0, kSize), second = pattern(1, kSize);
    for (int round = 0; round < 5; ++round) {
        fflush(nullptr);
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            HKEY key = nullptr;
            if (RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Crash", 0, nullptr, 0, 0, nullptr,
                                &key, nullptr) != ERROR_SUCCESS)
                _exit(10);
            for (unsigned i = 0;; ++i)
                if (setBytes(key, u"blob", REG_BINARY, i % 2 ? second : first) != ERROR_SUCCESS)
                    _exit(11);
        }
        // Let the child get going, then kill it somewhere in its loop.
        TestKey key(u"Software\\Crash");
        DWORD type = 0;
        std::vector<BYTE> data;
        for (int wait = 0; wait < 2000 && !readValue(key, u"blob", &type, &data); ++wait)
            usleep(5000);
        usleep(3000 + round * 11000);
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself: " << status;

        LONG error = 0;
        ASSERT_TRUE(readValue(key, u"blob", &type, &data, &error))
            << "round " << round << ": " << error;
        EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
        ASSERT_EQ(data.size(), kSize) << "round " << round;
        EXPECT_TRUE(data == first || data == second) << "round " << round << ": a mixed value";
        // Writing goes on as before.
        EXPECT_EQ(setDword(key, u"after", round), ERROR_SUCCESS);
    }
    std::string error;
    auto db = ce::reg::RegDb::openFile(device.dir() / "registry.db", &error);
    ASSERT_TRUE(db) << error;
    auto check = db->query("PRAGMA integrity_check");
    ASSERT_EQ(check.step(), SQLITE_ROW);
    auto text = check.blob(0);
    EXPECT_EQ(std::string(text.begin(), text.end()), "ok");
}

// A change is visible to another process as soon as the writing call returns, without a flush.
TEST_F(RegProcesses, ChangesAreSeenByOtherProcessesAtOnce) {
    TestKey key(u"Software\\Brenvox\\Zolvane");
    ASSERT_EQ(setDword(key, u"appWindow", 0x1234), ERROR_SUCCESS);
    int seen = cetest::runInChild([] {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, u"SOFTWARE\\Brenvox\\Zolvane", 0, KEY_READ, &key))
            return 1;
        DWORD value = 0, size = sizeof value;
        if (RegQueryValueExW(key, u"appWindow", nullptr, nullptr, reinterpret_cast<BYTE*>(&value),
                             &size))
            return 2;
        return value == 0x1234 ? 0 : 3;
    });
    EXPECT_EQ(seen, 0);
    // The parent's open handle is valid in the child too: it runs on the same device.
    int wrote = cetest::runInChild([&key] {
        return setDword(key, u"appWindow", 0x5678) == ERROR_SUCCESS &&
                       RegDeleteKeyW(HKEY_CURRENT_USER, u"Software\\Brenvox\\Zolvane\\Gone") ==
                           ERROR_FILE_NOT_FOUND
                   ? 0
                   : 1;
    });
    EXPECT_EQ(wrote, 0);
    EXPECT_EQ(readDword(key, u"appWindow"), 0x5678u);
}

} // namespace

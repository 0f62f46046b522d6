// handles_test.cpp: handle values and CloseHandle.
#include <set>
#include <thread>

#include "kernel/handles.h"
#include "windows.h"
#include "gtest/gtest.h"

namespace {

struct Probe : ce::KernelObject {
    explicit Probe(int* alive) : alive_(alive) { ++*alive_; }
    ~Probe() override { --*alive_; }
    ce::ObjectType type() const override { return ce::ObjectType::Other; }
    int* alive_;
};

TEST(Handles, ValuesAre32BitNonZeroAndDistinct) {
    int alive = 0;
    std::set<uintptr_t> seen;
    std::vector<HANDLE> handles;
    for (int i = 0; i < 100; ++i) {
        HANDLE h = ce::insertHandle(std::make_shared<Probe>(&alive));
        uintptr_t v = reinterpret_cast<uintptr_t>(h);
        EXPECT_NE(h, nullptr);
        EXPECT_NE(h, INVALID_HANDLE_VALUE);
        EXPECT_LE(v, 0xFFFFFFFFu);
        EXPECT_EQ(v % 4, 0u);
        EXPECT_TRUE(seen.insert(v).second);
        handles.push_back(h);
    }
    EXPECT_EQ(alive, 100);
    for (HANDLE h : handles)
        EXPECT_TRUE(CloseHandle(h));
    EXPECT_EQ(alive, 0);
}

// A closed value is not handed out again at once, so a stale handle fails cleanly.
TEST(Handles, CloseTwiceFailsWithInvalidHandle) {
    int alive = 0;
    HANDLE h = ce::insertHandle(std::make_shared<Probe>(&alive));
    ASSERT_TRUE(CloseHandle(h));
    HANDLE again = ce::insertHandle(std::make_shared<Probe>(&alive));
    EXPECT_NE(again, h);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(CloseHandle(h));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(CloseHandle(nullptr));
    EXPECT_TRUE(CloseHandle(again));
}

TEST(Handles, LookupChecksTheType) {
    int alive = 0;
    HANDLE h = ce::insertHandle(std::make_shared<Probe>(&alive));
    EXPECT_NE(ce::lookupHandleAs<Probe>(h, ce::ObjectType::Other), nullptr);
    EXPECT_EQ(ce::lookupHandleAs<Probe>(h, ce::ObjectType::File), nullptr);
    CloseHandle(h);
}

TEST(LastError, IsPerThread) {
    SetLastError(1234);
    DWORD other = 0;
    std::thread([&] {
        SetLastError(99);
        other = GetLastError();
    }).join();
    EXPECT_EQ(GetLastError(), 1234u);
    EXPECT_EQ(other, 99u);
}

} // namespace

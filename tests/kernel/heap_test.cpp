// heap_test.cpp: the process heap as another face of the local heap, and the lstr* functions.
#include "windows.h"
#include "gtest/gtest.h"

namespace {

TEST(Heap, BlocksAreLocalBlocksAndZeroedOnRequest) {
    HANDLE heap = GetProcessHeap();
    ASSERT_NE(heap, nullptr);
    auto* p = static_cast<unsigned char*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, 64));
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 64; ++i)
        ASSERT_EQ(p[i], 0) << i;
    EXPECT_EQ(HeapSize(heap, 0, p), 64u);
    memset(p, 0xAB, 64);
    // Growing keeps the content and zeroes the new part when asked.
    p = static_cast<unsigned char*>(HeapReAlloc(heap, HEAP_ZERO_MEMORY, p, 4096));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p[63], 0xAB);
    EXPECT_EQ(p[64], 0);
    EXPECT_EQ(p[4095], 0);
    // A heap block may be freed as a local block: one allocator under two names.
    EXPECT_EQ(LocalFree(p), nullptr);
}

TEST(Heap, StrayPointersAndOtherHeapsAreRefused) {
    HANDLE heap = GetProcessHeap();
    void* p = HeapAlloc(heap, 0, 16);
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(HeapFree(heap, 0, p));
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(HeapFree(heap, 0, p)); // freed twice
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    int onStack = 0;
    EXPECT_FALSE(HeapFree(heap, 0, &onStack));
    EXPECT_EQ(HeapSize(heap, 0, &onStack), static_cast<SIZE_T>(-1));
    EXPECT_TRUE(HeapFree(heap, 0, nullptr));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(HeapAlloc(ULongToHandle(0x1234), 0, 16), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    // In place only: a block cannot move, so a large growth fails and the block stays valid.
    void* q = HeapAlloc(heap, 0, 16);
    EXPECT_EQ(HeapReAlloc(heap, HEAP_REALLOC_IN_PLACE_ONLY, q, 1 << 20), nullptr);
    EXPECT_EQ(HeapSize(heap, 0, q), 16u);
    EXPECT_TRUE(HeapFree(heap, 0, q));
}

TEST(Lstr, CopyNTruncatesAndTerminates) {
    WCHAR buf[8];
    for (auto& c : buf)
        c = u'#';
    EXPECT_EQ(lstrcpynW(buf, u"abcdefghij", 5), buf);
    EXPECT_EQ(std::u16string(buf), u"abcd");
    EXPECT_EQ(buf[5], u'#'); // nothing written past the terminator
    EXPECT_EQ(lstrcpynW(buf, u"xy", 8), buf);
    EXPECT_EQ(std::u16string(buf), u"xy");
    EXPECT_EQ(lstrcpynW(buf, u"xy", 0), nullptr);
    EXPECT_EQ(lstrcpynW(buf, u"xy", 1), buf);
    EXPECT_EQ(buf[0], 0);
}

TEST(Lstr, LengthCatAndCompare) {
    WCHAR buf[32] = u"Zol";
    EXPECT_EQ(lstrcatW(buf, u"vane"), buf);
    EXPECT_EQ(lstrlenW(buf), 7);
    EXPECT_EQ(lstrlenW(nullptr), 0);
    EXPECT_EQ(lstrcmpW(u"abc", u"abd"), -1);
    EXPECT_EQ(lstrcmpW(u"abc", u"abc"), 0);
    EXPECT_EQ(lstrcmpW(u"abcd", u"abc"), 1);
    EXPECT_EQ(lstrcmpW(u"ABC", u"abc"), -1);
    EXPECT_EQ(lstrcmpiW(u"ABC", u"abc"), 0);
    EXPECT_EQ(lstrcmpiW(u"\u00C4RGER", u"\u00E4rger"), 0); // Ä and ä
    EXPECT_NE(lstrcmpiW(u"abc", u"abd"), 0);
}

} // namespace

// resplugin.cpp: a plug-in library with resources of its own, for the resource tests
// (tests/user/resource_test.cpp). Its string 1, RCDATA 300 and bitmap 101 have the same
// numbers as the test program's but other contents, so a lookup that reached the wrong module
// shows. Bitmap 101 (alpha2x2.png) is compiled in by ce_add_resources in tests/CMakeLists.txt.
#include <windows.h>
#include <ceresource.h>

namespace {

const CeStringEntry kStrings[] = {
    {1, u"Plug-in string one"},
    {7, u"Only in the plug-in"},
};

const char kData[] = "plug-in data";

const CeDataEntry kDataEntries[] = {
    {RT_RCDATA, 300, nullptr, kData, sizeof kData},
};

const CeResourceTable kResources = {
    CE_RESOURCE_TABLE_VERSION, kStrings, CE_COUNTOF(kStrings), nullptr, 0, nullptr, 0, kDataEntries,
    CE_COUNTOF(kDataEntries)};
CE_REGISTER_RESOURCES(kResources);

} // namespace

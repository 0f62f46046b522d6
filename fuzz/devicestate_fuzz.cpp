// devicestate_fuzz.cpp: the parsers of the device's own small formats, fed arbitrary bytes:
// device.conf, program stubs, the hex command line a child receives, and custom zone rules.
// Besides not crashing, each must be stable: what it prints back parses to the same thing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "kernel/device.h"
#include "kernel/process.h"
#include "kernel/stub.h"
#include "kernel/timezone.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);

    ce::DeviceConf conf = ce::parseDeviceConf(text);
    std::string printed = ce::formatDeviceConf(conf);
    if (ce::formatDeviceConf(ce::parseDeviceConf(printed)) != printed) abort();

    ce::ProgramStub stub, again;
    if (ce::parseStub(text, &stub) && ce::validStub(stub) &&
        !ce::parseStub(ce::formatStub(stub), &again))
        abort();

    std::u16string commandLine;
    if (ce::decodeCommandLine(text, &commandLine) &&
        ce::encodeCommandLine(commandLine).size() != text.size())
        abort();

    TIME_ZONE_INFORMATION tzi, tziAgain;
    if (ce::parseZoneRule(text, &tzi) && !ce::parseZoneRule(ce::formatZoneRule(tzi), &tziAgain))
        abort();
    return 0;
}

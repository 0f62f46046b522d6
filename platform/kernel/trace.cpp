// trace.cpp: trace channels switched on by CEDEBUG, and the once-only FIXME notes.
#include "trace.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace ce {

namespace {
// CEDEBUG is a comma-separated list of "+channel" (or "channel") words; "+all" enables all.
bool channelListed(const char* list, const char* channel) {
    std::string s(list);
    size_t pos = 0;
    while (pos <= s.size()) {
        size_t end = s.find(',', pos);
        if (end == std::string::npos) end = s.size();
        std::string word = s.substr(pos, end - pos);
        if (!word.empty() && word[0] == '+') word.erase(0, 1);
        if (word == "all" || word == channel) return true;
        pos = end + 1;
    }
    return false;
}
} // namespace

bool traceOn(const char* channel) {
    static const char* list = getenv("CEDEBUG");
    return list && *list && channelListed(list, channel);
}

void traceLine(const char* channel, const char* kind, const char* func, const char* fmt, ...) {
    char text[1024];
    va_list args;
    va_start(args, fmt);
    vsnprintf(text, sizeof text, fmt, args);
    va_end(args);
    fprintf(stderr, "%d:%s:%s:%s %s\n", static_cast<int>(getpid()), kind, channel, func, text);
}

} // namespace ce

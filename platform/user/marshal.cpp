// marshal.cpp: the built-in marshallers (WM_SETTEXT, WM_GETTEXT, WM_COPYDATA) and the table
// other areas register theirs in. See marshal.h.
#include "user/marshal.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

namespace ce::user {
namespace {

// The longest text or data block that travels with one message. Far above what a window
// text needs; it keeps a hostile payload from making the receiver allocate without bound.
constexpr size_t kMaxChars = 64 * 1024;
constexpr size_t kMaxData = 1024 * 1024;

std::mutex& tableLock() {
    static std::mutex* m = new std::mutex;
    return *m;
}

std::map<UINT, MessageMarshaller>& table();

// ---- WM_SETTEXT: the text travels in the payload --------------------------------------------
bool packSetText(UINT, WPARAM wParam, LPARAM lParam, WireMessage& out) {
    auto text = reinterpret_cast<const char16_t*>(lParam);
    std::u16string_view s = text ? std::u16string_view(text) : std::u16string_view();
    if (s.size() > kMaxChars) s = s.substr(0, kMaxChars);
    out.wParam = static_cast<uint32_t>(wParam);
    out.lParam = 0;
    out.payload.resize(s.size() * sizeof(char16_t));
    if (!s.empty()) std::memcpy(out.payload.data(), s.data(), out.payload.size());
    return true;
}

bool unpackSetText(const WireMessage& in, UnpackedMessage& out) {
    if (in.payload.size() % 2 || in.payload.size() > kMaxChars * 2) return false;
    auto text = std::make_shared<std::u16string>(in.payload.size() / 2, u'\0');
    if (!in.payload.empty()) std::memcpy(text->data(), in.payload.data(), in.payload.size());
    out.wParam = in.wParam;
    out.lParam = reinterpret_cast<LPARAM>(text->c_str());
    out.storage = text;
    return true;
}

// ---- WM_GETTEXT: the receiver fills a local buffer, the text comes back in the reply --------
bool packGetText(UINT, WPARAM wParam, LPARAM, WireMessage& out) {
    out.wParam = static_cast<uint32_t>(std::min<WPARAM>(wParam, kMaxChars));
    out.lParam = 0;
    return true;
}

bool unpackGetText(const WireMessage& in, UnpackedMessage& out) {
    size_t chars = std::min<size_t>(in.wParam, kMaxChars);
    auto buffer = std::make_shared<std::vector<char16_t>>(chars + 1, u'\0');
    out.wParam = chars;
    out.lParam = reinterpret_cast<LPARAM>(buffer->data());
    out.storage = buffer;
    return true;
}

void packGetTextReply(UINT, const UnpackedMessage& in, LRESULT result, std::vector<uint8_t>& out) {
    auto buffer = static_cast<const std::vector<char16_t>*>(in.storage.get());
    if (!buffer || in.wParam == 0) return;
    size_t n = std::clamp<LRESULT>(result, 0, static_cast<LRESULT>(in.wParam - 1));
    n = std::min(n, std::u16string_view(buffer->data(), buffer->size() - 1).find(u'\0'));
    out.resize(n * sizeof(char16_t));
    if (n) std::memcpy(out.data(), buffer->data(), out.size());
}

void unpackGetTextReply(UINT, WPARAM wParam, LPARAM lParam, const std::vector<uint8_t>& payload,
                        LRESULT& result) {
    auto buffer = reinterpret_cast<char16_t*>(lParam);
    if (!buffer || wParam == 0) {
        result = 0;
        return;
    }
    size_t n = std::min<size_t>(payload.size() / 2, wParam - 1);
    if (n) std::memcpy(buffer, payload.data(), n * sizeof(char16_t));
    buffer[n] = 0;
    result = static_cast<LRESULT>(n);
}

// ---- WM_COPYDATA: dwData (8 bytes) then the block ----------------------------------------------
struct CopyData {
    COPYDATASTRUCT cds{};
    std::vector<uint8_t> data;
};

bool packCopyData(UINT, WPARAM wParam, LPARAM lParam, WireMessage& out) {
    auto cds = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (!cds || cds->cbData > kMaxData || (cds->cbData && !cds->lpData)) return false;
    out.wParam = static_cast<uint32_t>(wParam);
    out.lParam = 0;
    uint64_t tag = cds->dwData;
    out.payload.resize(sizeof tag + cds->cbData);
    std::memcpy(out.payload.data(), &tag, sizeof tag);
    if (cds->cbData) std::memcpy(out.payload.data() + sizeof tag, cds->lpData, cds->cbData);
    return true;
}

bool unpackCopyData(const WireMessage& in, UnpackedMessage& out) {
    if (in.payload.size() < sizeof(uint64_t) || in.payload.size() > kMaxData + 8) return false;
    auto block = std::make_shared<CopyData>();
    uint64_t tag;
    std::memcpy(&tag, in.payload.data(), sizeof tag);
    block->data.assign(in.payload.begin() + sizeof tag, in.payload.end());
    block->cds.dwData = static_cast<ULONG_PTR>(tag);
    block->cds.cbData = static_cast<DWORD>(block->data.size());
    block->cds.lpData = block->data.empty() ? nullptr : block->data.data();
    out.wParam = in.wParam;
    out.lParam = reinterpret_cast<LPARAM>(&block->cds);
    out.storage = block;
    return true;
}

std::map<UINT, MessageMarshaller>& table() {
    static auto* t = new std::map<UINT, MessageMarshaller>{
        {WM_SETTEXT, MessageMarshaller{packSetText, unpackSetText, nullptr, nullptr}},
        {WM_GETTEXT,
         MessageMarshaller{packGetText, unpackGetText, packGetTextReply, unpackGetTextReply}},
        {WM_COPYDATA, MessageMarshaller{packCopyData, unpackCopyData, nullptr, nullptr}},
    };
    return *t;
}

} // namespace

void registerMessageMarshaller(UINT msg, const MessageMarshaller& marshaller) {
    std::lock_guard<std::mutex> lock(tableLock());
    table()[msg] = marshaller;
}

const MessageMarshaller* findMessageMarshaller(UINT msg) {
    std::lock_guard<std::mutex> lock(tableLock());
    auto it = table().find(msg);
    return it == table().end() ? nullptr : &it->second; // entries are never removed
}

bool packMessage(uint32_t hwnd, UINT msg, WPARAM wParam, LPARAM lParam, WireMessage& out) {
    out.hwnd = hwnd;
    out.message = msg;
    if (auto m = findMessageMarshaller(msg); m && m->pack) return m->pack(msg, wParam, lParam, out);
    out.wParam = static_cast<uint32_t>(wParam);
    out.lParam = static_cast<uint32_t>(lParam);
    out.payload.clear();
    return true;
}

bool unpackMessage(const WireMessage& in, UnpackedMessage& out) {
    if (auto m = findMessageMarshaller(in.message); m && m->unpack) return m->unpack(in, out);
    out.wParam = in.wParam;
    out.lParam = static_cast<LPARAM>(static_cast<LONG>(in.lParam));
    return true;
}

} // namespace ce::user

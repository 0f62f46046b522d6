// marshal.h: messages whose parameters point at data, packed for another program's window
// and rebuilt in the receiving program.
//
// A message to another program travels as a WireMessage (driver.h): 32-bit wParam and lParam
// and a byte payload. Messages whose lParam points at data register a marshaller: the sender
// packs the data into the payload, the receiver rebuilds a local copy that lParam points at
// while the window procedure runs, and a sent message's answer may carry data back (WM_GETTEXT's
// text). WM_SETTEXT, WM_GETTEXT and WM_COPYDATA are built in; other areas add theirs
// (WM_DBNOTIFICATION) with registerMessageMarshaller. Everything read from a payload is
// checked: it comes from another process.
//
// Inside the platform only.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "user/driver.h"
#include "windows.h"

namespace ce::user {

// A message rebuilt in the receiving program; storage keeps what lParam points at alive
// until the message has been handled (for a posted one: until the thread's next GetMessage).
struct UnpackedMessage {
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    std::shared_ptr<void> storage;
};

struct MessageMarshaller {
    // Sender: fills out.wParam, out.lParam and out.payload. False: the message cannot travel.
    bool (*pack)(UINT msg, WPARAM wParam, LPARAM lParam, WireMessage& out) = nullptr;
    // Receiver: rebuilds the parameters. False: malformed (dropped; a sent one answers 0).
    bool (*unpack)(const WireMessage& in, UnpackedMessage& out) = nullptr;
    // Receiver, after the window procedure returned: the data to send back (may be null).
    void (*packReply)(UINT msg, const UnpackedMessage& in, LRESULT result,
                      std::vector<uint8_t>& out) = nullptr;
    // Sender: copies the answer's data into the caller's buffers and may adjust the result
    // (may be null).
    void (*unpackReply)(UINT msg, WPARAM wParam, LPARAM lParam, const std::vector<uint8_t>& payload,
                        LRESULT& result) = nullptr;
};

// Adds or replaces the marshaller of a message number.
void registerMessageMarshaller(UINT msg, const MessageMarshaller& marshaller);
const MessageMarshaller* findMessageMarshaller(UINT msg);

// Packs a message for another program (the plain values when no marshaller is registered).
bool packMessage(uint32_t hwnd, UINT msg, WPARAM wParam, LPARAM lParam, WireMessage& out);
// Rebuilds a message that arrived from another program.
bool unpackMessage(const WireMessage& in, UnpackedMessage& out);

} // namespace ce::user

// x11messages.h: messages between programs of the device, as X client messages.
//
// Each process has a hidden message window (an unmapped InputOnly child of the root, so no
// window list ever shows it). A message to another program's window is a format-32
// ClientMessage of type _CE_MESSAGE sent to that window, which X delivers to the program that
// made it:
//
//   data.l[0] message   data.l[1] wParam   data.l[2] lParam
//   data.l[3] the sender's message window
//   data.l[4] kind (bits 30-31: 0 posted, 1 sent) | payload slot (bits 24-29) | sequence
//             number (bits 0-23)
//
// Data a message points at (WireMessage::payload) goes in a property of the sender's message
// window, one per message, named from a small pool of atoms (_CE_PAYLOAD_1..32) used in turn;
// the receiver reads it and deletes it, which frees the slot. The property starts with the
// message's sequence number, so a payload that was lost (or overwritten because a hung
// receiver kept every slot busy) is recognised and the message dropped rather than carrying
// the wrong data.
//
// The answer to a sent message is a _CE_REPLY client message to the sender's message window:
// data.l[0] sequence | slot << 24, data.l[1..2] the result (low, high 32 bits), data.l[3] the
// replier's message window (which holds the reply's payload property). The sender never waits
// for the receiver: time-outs are the window system's business.
//
// A sent message whose window disappears before it is answered (its program ended, or
// destroyed it) is answered with 0 here, so that SendMessage returns: the sender selects
// StructureNotifyMask on every window it sends to (X lets any number of clients do that, each
// with a mask of its own) and the window's DestroyNotify ends every send still waiting for
// it. When the connection itself is lost, every waiting send ends the same way.
//
// Inside the platform only.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>

#include "display/x11conn.h"
#include "display/x11driver.h"

namespace ce::display {

// The largest payload a message carries (WM_COPYDATA and the like).
constexpr size_t kMaxPayload = 1 << 20;

class Messenger : public std::enable_shared_from_this<Messenger> {
public:
    // Makes this process's message window; null when the connection fails.
    static std::shared_ptr<Messenger> create(std::shared_ptr<XConnection> conn);
    ~Messenger();

    Window window() const { return window_; }
    // False when the target is not a window (any more) or the payload is too big.
    bool post(const user::WireMessage& message);
    bool send(const user::WireMessage& message, uint64_t ticket);
    // Handles the event when it is about messages (event thread); false for other events.
    bool handleEvent(XEvent& e, const EventSink& sink);
    // Answers every send still waiting with 0 (the connection is gone).
    void abandonAll(const EventSink& sink);
    // Waits, at most timeoutMs of real time, until the receivers of this process's posted
    // messages have taken their payloads. The payload lives on this process's message window,
    // which goes with the process: a program that posts and ends at once (cedev notify add)
    // must not take its message's data with it.
    void waitForPayloadsTaken(int timeoutMs);

private:
    explicit Messenger(std::shared_ptr<XConnection> conn) : conn_(std::move(conn)) {}
    bool transmit(const user::WireMessage& message, bool sent, uint32_t seq);
    // Makes the server report the window's destruction to this connection. Needs the Lock.
    void watch(Window w);
    // Answers the sends waiting for a window that is gone with 0.
    void abandonSendsTo(Window w, const EventSink& sink);
    // Stores a payload on the message window; returns its slot (0: none). Needs the Lock.
    int storePayload(uint32_t seq, const std::vector<uint8_t>& payload);
    // Reads and deletes a payload from another process's message window. Needs the Lock.
    bool takePayload(Window from, int slot, uint32_t seq, std::vector<uint8_t>* out);
    void reply(Window to, uint32_t seq, LRESULT result, const std::vector<uint8_t>& payload);
    uint32_t nextSeq();

    std::shared_ptr<XConnection> conn_;
    Window window_ = 0;
    std::mutex mutex_;
    uint32_t seq_ = 0;
    int nextSlot_ = 1;
    bool slotBusy_[kPayloadSlots + 1] = {};
    struct Pending {
        uint64_t ticket = 0; // the window system's
        Window target = 0;
    };
    std::map<uint32_t, Pending> tickets_; // by sequence number
    std::set<Window> watched_;            // windows whose DestroyNotify this connection gets
};

} // namespace ce::display

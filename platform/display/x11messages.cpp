// x11messages.cpp: messages between programs of the device as X client messages, with their
// payloads in properties of the sender's message window (see x11messages.h).
#include "display/x11messages.h"

#include <X11/Xatom.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "kernel/trace.h"

namespace ce::display {

namespace {

constexpr uint32_t kSeqMask = 0xFFFFFF;
constexpr uint32_t kKindSent = 1u << 30;
// Replies kept waiting beyond this many are forgotten: their senders gave up long ago.
constexpr size_t kMaxPendingReplies = 4096;

XEvent clientMessage(Window target, Atom type, const uint32_t (&values)[5]) {
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = target;
    ev.xclient.message_type = type;
    ev.xclient.format = 32;
    for (int i = 0; i < 5; ++i)
        ev.xclient.data.l[i] = static_cast<long>(values[i]);
    return ev;
}

uint32_t u32(long v) {
    return static_cast<uint32_t>(static_cast<unsigned long>(v));
}

} // namespace

std::shared_ptr<Messenger> Messenger::create(std::shared_ptr<XConnection> conn) {
    std::shared_ptr<Messenger> m(new Messenger(conn));
    XConnection::Lock lock(*conn);
    XSetWindowAttributes attrs{};
    attrs.event_mask = PropertyChangeMask;
    m->window_ = XCreateWindow(conn->display(), conn->root(), -1, -1, 1, 1, 0, 0, InputOnly,
                               CopyFromParent, CWEventMask, &attrs);
    if (!m->window_) return nullptr;
    return m;
}

Messenger::~Messenger() {
    if (window_ && !conn_->dead()) {
        XConnection::Lock lock(*conn_);
        XDestroyWindow(conn_->display(), window_);
    }
}

void Messenger::waitForPayloadsTaken(int timeoutMs) {
    auto busy = [this] {
        std::lock_guard lock(mutex_);
        for (int i = 1; i <= kPayloadSlots; ++i)
            if (slotBusy_[i]) return true;
        return false;
    };
    // The event thread frees a slot when the receiver deletes the property (PropertyNotify).
    for (int waited = 0; waited < timeoutMs && busy() && !conn_->dead(); waited += 5)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

uint32_t Messenger::nextSeq() {
    std::lock_guard lock(mutex_);
    seq_ = (seq_ + 1) & kSeqMask;
    if (seq_ == 0) seq_ = 1;
    return seq_;
}

int Messenger::storePayload(uint32_t seq, const std::vector<uint8_t>& payload) {
    if (payload.empty()) return 0;
    int slot = 0;
    {
        std::lock_guard lock(mutex_);
        for (int i = 0; i < kPayloadSlots && !slot; ++i) {
            int candidate = (nextSlot_ - 1 + i) % kPayloadSlots + 1;
            if (!slotBusy_[candidate]) slot = candidate;
        }
        if (!slot) {
            // Every slot is waiting for a receiver that does not read: take the oldest one.
            // Its receiver will see a sequence number that is not its own and drop it.
            slot = nextSlot_;
            CE_TRACE("x11", "all payload slots busy; reusing slot %d", slot);
        }
        slotBusy_[slot] = true;
        nextSlot_ = slot % kPayloadSlots + 1;
    }
    std::vector<uint8_t> data(4 + payload.size());
    memcpy(data.data(), &seq, 4);
    memcpy(data.data() + 4, payload.data(), payload.size());
    XChangeProperty(conn_->display(), window_, conn_->atoms().payload[slot], XA_STRING, 8,
                    PropModeReplace, data.data(), static_cast<int>(data.size()));
    return slot;
}

bool Messenger::takePayload(Window from, int slot, uint32_t seq, std::vector<uint8_t>* out) {
    out->clear();
    if (slot == 0) return true;
    if (slot > kPayloadSlots || conn_->dead()) return false;
    XConnection::ErrorTrap trap(*conn_);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    int rc = XGetWindowProperty(conn_->display(), from, conn_->atoms().payload[slot], 0,
                                static_cast<long>((kMaxPayload + 4 + 3) / 4), True, XA_STRING,
                                &type, &format, &count, &after, &data);
    bool ok = rc == Success && type == XA_STRING && format == 8 && data && count >= 4 && after == 0;
    uint32_t stored = 0;
    if (ok) memcpy(&stored, data, 4);
    if (ok && stored == seq) out->assign(data + 4, data + count);
    if (data) XFree(data);
    trap.failed();
    return ok && stored == seq;
}

void Messenger::watch(Window w) {
    {
        std::lock_guard lock(mutex_);
        if (watched_.count(w)) return;
    }
    // Added to the mask this connection already has on the window (the desktop window's
    // foreground and size, for one), never in place of it.
    XWindowAttributes attrs{};
    if (!XGetWindowAttributes(conn_->display(), w, &attrs)) return;
    if (!(attrs.your_event_mask & StructureNotifyMask))
        XSelectInput(conn_->display(), w, attrs.your_event_mask | StructureNotifyMask);
    std::lock_guard lock(mutex_);
    watched_.insert(w);
}

bool Messenger::transmit(const user::WireMessage& message, bool sent, uint32_t seq) {
    if (message.payload.size() > kMaxPayload || message.hwnd == 0 || conn_->dead()) return false;
    XConnection::Lock lock(*conn_);
    XConnection::ErrorTrap trap(*conn_);
    // Watched before the message goes, so that a window destroyed at any later moment is
    // reported; one gone already fails the send below.
    if (sent) watch(message.hwnd);
    int slot = storePayload(seq, message.payload);
    uint32_t flags = (sent ? kKindSent : 0) | (static_cast<uint32_t>(slot) << 24) | seq;
    uint32_t values[5] = {message.message, message.wParam, message.lParam,
                          static_cast<uint32_t>(window_), flags};
    XEvent ev = clientMessage(message.hwnd, conn_->atoms().message, values);
    // No event mask: X hands the event to the program that made the window.
    XSendEvent(conn_->display(), message.hwnd, False, NoEventMask, &ev);
    if (trap.failed()) {
        if (slot) {
            XDeleteProperty(conn_->display(), window_, conn_->atoms().payload[slot]);
            std::lock_guard guard(mutex_);
            slotBusy_[slot] = false;
        }
        return false;
    }
    return true;
}

bool Messenger::post(const user::WireMessage& message) {
    return transmit(message, false, nextSeq());
}

bool Messenger::send(const user::WireMessage& message, uint64_t ticket) {
    uint32_t seq = nextSeq();
    {
        std::lock_guard lock(mutex_);
        if (tickets_.size() >= kMaxPendingReplies) tickets_.erase(tickets_.begin());
        tickets_[seq] = Pending{ticket, static_cast<Window>(message.hwnd)};
    }
    if (transmit(message, true, seq)) return true;
    std::lock_guard lock(mutex_);
    tickets_.erase(seq);
    return false;
}

void Messenger::reply(Window to, uint32_t seq, LRESULT result,
                      const std::vector<uint8_t>& payload) {
    if (conn_->dead()) return;
    XConnection::Lock lock(*conn_);
    int slot = payload.size() <= kMaxPayload ? storePayload(seq, payload) : 0;
    uint64_t r = static_cast<uint64_t>(result);
    uint32_t values[5] = {seq | (static_cast<uint32_t>(slot) << 24),
                          static_cast<uint32_t>(r & 0xFFFFFFFF), static_cast<uint32_t>(r >> 32),
                          static_cast<uint32_t>(window_), 0};
    XEvent ev = clientMessage(to, conn_->atoms().reply, values);
    // A sender that has ended leaves a BadWindow behind, recorded and forgotten.
    XSendEvent(conn_->display(), to, False, NoEventMask, &ev);
}

void Messenger::abandonSendsTo(Window w, const EventSink& sink) {
    std::vector<uint64_t> ended;
    {
        std::lock_guard lock(mutex_);
        watched_.erase(w);
        for (auto it = tickets_.begin(); it != tickets_.end();) {
            if (it->second.target == w) {
                ended.push_back(it->second.ticket);
                it = tickets_.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (uint64_t ticket : ended) {
        CE_TRACE("x11", "window 0x%lx went away; its send %llu ends with 0", w,
                 static_cast<unsigned long long>(ticket));
        if (sink.foreignReply) sink.foreignReply(ticket, 0, {});
    }
}

void Messenger::abandonAll(const EventSink& sink) {
    std::vector<uint64_t> ended;
    {
        std::lock_guard lock(mutex_);
        for (auto& [seq, pending] : tickets_)
            ended.push_back(pending.ticket);
        tickets_.clear();
        watched_.clear();
    }
    for (uint64_t ticket : ended)
        if (sink.foreignReply) sink.foreignReply(ticket, 0, {});
}

bool Messenger::handleEvent(XEvent& e, const EventSink& sink) {
    const Atoms& atoms = conn_->atoms();
    if (e.type == DestroyNotify) {
        Window gone = e.xdestroywindow.window;
        {
            std::lock_guard lock(mutex_);
            if (!watched_.count(gone)) return false;
        }
        abandonSendsTo(gone, sink);
        return true;
    }
    if (e.type == PropertyNotify && e.xproperty.window == window_) {
        if (e.xproperty.state == PropertyDelete)
            for (int i = 1; i <= kPayloadSlots; ++i)
                if (atoms.payload[i] == e.xproperty.atom) {
                    std::lock_guard lock(mutex_);
                    slotBusy_[i] = false;
                }
        return true;
    }
    if (e.type != ClientMessage || e.xclient.format != 32) return false;
    const long* l = e.xclient.data.l;
    if (e.xclient.message_type == atoms.message) {
        uint32_t flags = u32(l[4]);
        bool sent = flags & kKindSent;
        int slot = static_cast<int>((flags >> 24) & 0x3F);
        uint32_t seq = flags & kSeqMask;
        Window sender = u32(l[3]);
        user::WireMessage msg;
        msg.hwnd = static_cast<uint32_t>(e.xclient.window);
        msg.message = u32(l[0]);
        msg.wParam = u32(l[1]);
        msg.lParam = u32(l[2]);
        bool complete;
        {
            XConnection::Lock lock(*conn_);
            complete = takePayload(sender, slot, seq, &msg.payload);
        }
        if (!complete) {
            CE_TRACE("x11", "message 0x%x to 0x%x lost its data; dropped", msg.message, msg.hwnd);
            if (sent) reply(sender, seq, 0, {});
            return true;
        }
        user::ReplyFn answer;
        if (sent) {
            auto self = shared_from_this();
            auto once = std::make_shared<std::atomic<bool>>(false);
            answer = [self, once, sender, seq](LRESULT result, std::vector<uint8_t> payload) {
                if (once->exchange(true)) return;
                self->reply(sender, seq, result, payload);
            };
        } else {
            answer = [](LRESULT, std::vector<uint8_t>) {};
        }
        if (sink.foreignMessage)
            sink.foreignMessage(std::move(msg), sent, answer);
        else if (sent)
            answer(0, {});
        return true;
    }
    if (e.xclient.message_type == atoms.reply && e.xclient.window == window_) {
        uint32_t seq = u32(l[0]) & kSeqMask;
        int slot = static_cast<int>((u32(l[0]) >> 24) & 0x3F);
        LRESULT result = static_cast<LRESULT>(static_cast<uint64_t>(u32(l[1])) |
                                              (static_cast<uint64_t>(u32(l[2])) << 32));
        std::vector<uint8_t> payload;
        {
            XConnection::Lock lock(*conn_);
            takePayload(u32(l[3]), slot, seq, &payload);
        }
        uint64_t ticket = 0;
        {
            std::lock_guard lock(mutex_);
            auto it = tickets_.find(seq);
            if (it == tickets_.end()) return true; // not ours, or forgotten
            ticket = it->second.ticket;
            tickets_.erase(it);
        }
        if (sink.foreignReply) sink.foreignReply(ticket, result, std::move(payload));
        return true;
    }
    return false;
}

} // namespace ce::display

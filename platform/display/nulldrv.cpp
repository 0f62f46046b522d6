// nulldrv.cpp: the null display driver: the "screen" of a process that has no display.
//
// Windows exist only inside this process. The driver keeps its own record of them (tree,
// stacking, geometry, shapes, class and text) so that every device-wide question of the
// window system (FindWindowW, EnumWindows, WindowFromPoint, the foreground window) has an
// answer, and a copy of what each window presented, from which captureScreen composes the
// screen: the top-level windows bottom to top over a white desktop, each window's children
// over it, shapes respected. Injected input is routed as the device would: keys to the
// foreground window, the pointer to the window under it (topmost first; while the button is
// down, to the window it went down on).
//
// Handles are unique in the process: 0x00020000 is the desktop window, then steps of 0x10.
#include <algorithm>
#include <map>
#include <mutex>

#include "kernel/device.h"
#include "user/driver.h"
#include "windows.h"

namespace ce::user {
namespace {

constexpr uint32_t kDesktop = 0x00020000;

bool borderOf(uint32_t style) {
    return (style & WS_CAPTION) == WS_BORDER;
}

struct Record {
    WindowFacts facts;              // rect holds the position in the parent's client coordinates
    std::vector<uint32_t> children; // top first
    std::optional<RectList> shape;
    Surface image;
};

class NullDriver final : public DisplayDriver {
public:
    const char* name() const override { return "null"; }

    uint32_t createWindow(const WindowDesc& d) override {
        std::lock_guard<std::mutex> lock(m_);
        if (d.parent && !windows_.count(d.parent)) return 0;
        uint32_t h = next_;
        next_ += 0x10;
        Record r;
        r.facts.hwnd = h;
        r.facts.parent = d.parent;
        r.facts.owner = d.owner;
        r.facts.processId = d.processId;
        r.facts.threadId = d.threadId;
        r.facts.style = d.style | (d.visible ? WS_VISIBLE : 0);
        r.facts.exStyle = d.exStyle | (d.topmost ? WS_EX_TOPMOST : 0);
        r.facts.rect = d.rect;
        r.facts.visible = d.visible;
        r.facts.className = d.className;
        r.facts.text = d.text;
        r.image = Surface(d.rect.right - d.rect.left, d.rect.bottom - d.rect.top, 0xFFFFFFFFu);
        windows_[h] = std::move(r);
        if (d.parent)
            windows_[d.parent].children.push_back(h);
        else
            insertTopLevel(h, 0);
        return h;
    }

    void destroyWindow(uint32_t hwnd) override {
        std::lock_guard<std::mutex> lock(m_);
        auto it = windows_.find(hwnd);
        if (it == windows_.end()) return;
        unlink(hwnd);
        std::vector<uint32_t> gone{hwnd};
        for (size_t i = 0; i < gone.size(); ++i) {
            auto w = windows_.find(gone[i]);
            if (w == windows_.end()) continue;
            for (uint32_t c : w->second.children)
                gone.push_back(c);
        }
        for (uint32_t g : gone) {
            windows_.erase(g);
            if (foreground_ == g) foreground_ = 0;
            if (grab_ == g) grab_ = 0;
        }
    }

    void setWindowText(uint32_t hwnd, std::u16string_view text) override {
        std::lock_guard<std::mutex> lock(m_);
        if (auto r = find(hwnd)) r->facts.text = std::u16string(text);
    }

    void setWindowStyle(uint32_t hwnd, uint32_t style, uint32_t exStyle) override {
        std::lock_guard<std::mutex> lock(m_);
        if (auto r = find(hwnd)) {
            r->facts.style = (style & ~WS_VISIBLE) | (r->facts.visible ? WS_VISIBLE : 0);
            r->facts.exStyle = exStyle;
        }
    }

    void setWindowRect(uint32_t hwnd, const RECT& rect) override {
        std::lock_guard<std::mutex> lock(m_);
        if (auto r = find(hwnd)) r->facts.rect = rect;
    }

    void setWindowVisible(uint32_t hwnd, bool visible) override {
        std::lock_guard<std::mutex> lock(m_);
        if (auto r = find(hwnd)) {
            r->facts.visible = visible;
            if (visible)
                r->facts.style |= WS_VISIBLE;
            else
                r->facts.style &= ~WS_VISIBLE;
        }
    }

    void restackWindow(uint32_t hwnd, uint32_t after, bool topmost) override {
        std::lock_guard<std::mutex> lock(m_);
        auto r = find(hwnd);
        if (!r) return;
        if (!r->facts.parent) {
            if (topmost)
                r->facts.exStyle |= WS_EX_TOPMOST;
            else
                r->facts.exStyle &= ~WS_EX_TOPMOST;
        }
        unlink(hwnd);
        if (r->facts.parent) {
            auto& kids = windows_[r->facts.parent].children;
            kids.insert(position(kids, after), hwnd);
        } else {
            insertTopLevel(hwnd, after);
        }
    }

    void setWindowParent(uint32_t hwnd, uint32_t parent, const RECT& rect) override {
        std::lock_guard<std::mutex> lock(m_);
        auto r = find(hwnd);
        if (!r || (parent && !windows_.count(parent))) return;
        unlink(hwnd);
        r->facts.parent = parent;
        r->facts.rect = rect;
        if (parent) {
            auto& kids = windows_[parent].children;
            kids.insert(kids.begin(), hwnd);
        } else {
            insertTopLevel(hwnd, 0);
        }
    }

    void setWindowShape(uint32_t hwnd, const RectList* shape) override {
        std::lock_guard<std::mutex> lock(m_);
        if (auto r = find(hwnd)) r->shape = shape ? std::optional<RectList>(*shape) : std::nullopt;
    }

    void presentWindow(uint32_t hwnd, const Surface& surface, const RECT& dirty) override {
        std::lock_guard<std::mutex> lock(m_);
        auto r = find(hwnd);
        if (!r) return;
        if (r->image.width != surface.width || r->image.height != surface.height) {
            r->image = surface;
            return;
        }
        LONG left = std::max<LONG>(0, dirty.left), top = std::max<LONG>(0, dirty.top);
        LONG right = std::min<LONG>(surface.width, dirty.right);
        LONG bottom = std::min<LONG>(surface.height, dirty.bottom);
        for (LONG y = top; y < bottom; ++y)
            std::copy(surface.row(y) + left, surface.row(y) + right, r->image.row(y) + left);
    }

    uint32_t desktopWindow() override { return kDesktop; }

    SIZE screenSize() override {
        auto conf = ce::deviceConf();
        return SIZE{conf->profile.width, conf->profile.height};
    }

    std::vector<uint32_t> childWindows(uint32_t parent) override {
        std::lock_guard<std::mutex> lock(m_);
        if (!parent || parent == kDesktop) return topLevel_;
        auto r = find(parent);
        return r ? r->children : std::vector<uint32_t>{};
    }

    std::optional<WindowFacts> queryWindow(uint32_t hwnd) override {
        std::lock_guard<std::mutex> lock(m_);
        if (hwnd == kDesktop) {
            WindowFacts f;
            f.hwnd = kDesktop;
            SIZE s = screenSizeLocked();
            f.rect = RECT{0, 0, s.cx, s.cy};
            f.visible = true;
            f.style = WS_VISIBLE;
            f.className = u"DesktopExplorerWindow";
            return f;
        }
        auto r = find(hwnd);
        if (!r) return std::nullopt;
        WindowFacts f = r->facts;
        POINT o = screenOrigin(hwnd);
        f.rect = RECT{o.x, o.y, o.x + (r->facts.rect.right - r->facts.rect.left),
                      o.y + (r->facts.rect.bottom - r->facts.rect.top)};
        return f;
    }

    bool showForeignWindow(uint32_t, bool) override { return false; }
    bool placeForeignWindow(uint32_t, const RECT*, uint32_t, bool, bool) override { return false; }

    uint32_t foregroundWindow() override {
        std::lock_guard<std::mutex> lock(m_);
        return foreground_;
    }

    bool setForegroundWindow(uint32_t hwnd) override {
        std::lock_guard<std::mutex> lock(m_);
        if (hwnd && !windows_.count(hwnd)) return false;
        foreground_ = hwnd;
        return true;
    }

    std::shared_ptr<Surface> captureScreen() override {
        std::lock_guard<std::mutex> lock(m_);
        SIZE s = screenSizeLocked();
        auto screen = std::make_shared<Surface>(s.cx, s.cy, 0xFFFFFFFFu);
        RECT all{0, 0, s.cx, s.cy};
        for (auto it = topLevel_.rbegin(); it != topLevel_.rend(); ++it)
            draw(*it, *screen, all);
        return screen;
    }

    void injectKey(uint8_t vk, bool up) override {
        uint32_t target;
        {
            std::lock_guard<std::mutex> lock(m_);
            target = foreground_;
        }
        if (target) deliverKey(target, up ? WM_KEYUP : WM_KEYDOWN, vk, false);
    }

    void injectPointer(POINT screen, bool moveOnly, bool down) override {
        uint32_t target;
        UINT message;
        WPARAM wParam;
        POINT local;
        {
            std::lock_guard<std::mutex> lock(m_);
            pointer_ = screen;
            target = grab_ ? grab_ : hitTest(screen);
            if (moveOnly) {
                message = WM_MOUSEMOVE;
                wParam = grab_ ? MK_LBUTTON : 0;
            } else if (down) {
                message = WM_LBUTTONDOWN;
                wParam = MK_LBUTTON;
                grab_ = target;
            } else {
                message = WM_LBUTTONUP;
                wParam = 0;
                grab_ = 0;
            }
            if (!target) return;
            POINT o = screenOrigin(target);
            local = POINT{screen.x - o.x, screen.y - o.y};
        }
        deliverInput(target, message, wParam, local);
    }

    POINT pointerPosition() override {
        std::lock_guard<std::mutex> lock(m_);
        return pointer_;
    }

    bool postForeign(const WireMessage&) override { return false; }
    bool sendForeign(const WireMessage&, uint64_t) override { return false; }

private:
    Record* find(uint32_t hwnd) {
        auto it = windows_.find(hwnd);
        return it == windows_.end() ? nullptr : &it->second;
    }

    SIZE screenSizeLocked() {
        auto conf = ce::deviceConf();
        return SIZE{conf->profile.width, conf->profile.height};
    }

    static std::vector<uint32_t>::iterator position(std::vector<uint32_t>& list, uint32_t after) {
        if (after == 0) return list.begin();
        if (after == 1) return list.end();
        auto it = std::find(list.begin(), list.end(), after);
        return it == list.end() ? list.end() : it + 1;
    }

    bool isTopmost(uint32_t hwnd) {
        auto r = find(hwnd);
        return r && (r->facts.exStyle & WS_EX_TOPMOST);
    }

    // Top-level order: topmost windows above the rest, whatever the request.
    void insertTopLevel(uint32_t hwnd, uint32_t after) {
        bool topmost = isTopmost(hwnd);
        auto firstPlain = std::find_if(topLevel_.begin(), topLevel_.end(),
                                       [&](uint32_t h) { return !isTopmost(h); });
        auto at = position(topLevel_, after);
        if (topmost && at > firstPlain) at = firstPlain;
        if (!topmost && at < firstPlain) at = firstPlain;
        topLevel_.insert(at, hwnd);
    }

    void unlink(uint32_t hwnd) {
        auto r = find(hwnd);
        auto& list = (r && r->facts.parent && find(r->facts.parent))
                         ? windows_[r->facts.parent].children
                         : topLevel_;
        list.erase(std::remove(list.begin(), list.end(), hwnd), list.end());
    }

    POINT clientOrigin(uint32_t hwnd) {
        POINT o = screenOrigin(hwnd);
        auto r = find(hwnd);
        int b = r && borderOf(r->facts.style) ? 1 : 0;
        return POINT{o.x + b, o.y + b};
    }

    POINT screenOrigin(uint32_t hwnd) {
        auto r = find(hwnd);
        if (!r) return POINT{0, 0};
        POINT base{0, 0};
        if (r->facts.parent) base = clientOrigin(r->facts.parent);
        return POINT{base.x + r->facts.rect.left, base.y + r->facts.rect.top};
    }

    // Draws a window and its children into the screen, inside `clip` (screen coordinates).
    void draw(uint32_t hwnd, Surface& screen, const RECT& clip) {
        auto r = find(hwnd);
        if (!r || !r->facts.visible) return;
        POINT o = screenOrigin(hwnd);
        LONG left = std::max<LONG>(clip.left, o.x), top = std::max<LONG>(clip.top, o.y);
        LONG right = std::min<LONG>(clip.right, o.x + r->image.width);
        LONG bottom = std::min<LONG>(clip.bottom, o.y + r->image.height);
        for (LONG y = top; y < bottom; ++y)
            for (LONG x = left; x < right; ++x) {
                POINT p{x - o.x, y - o.y};
                if (r->shape && !r->shape->contains(p)) continue;
                screen.row(y)[x] = r->image.row(p.y)[p.x];
            }
        int b = borderOf(r->facts.style) ? 1 : 0;
        RECT inner{std::max<LONG>(left, o.x + b), std::max<LONG>(top, o.y + b),
                   std::min<LONG>(right, o.x + r->image.width - b),
                   std::min<LONG>(bottom, o.y + r->image.height - b)};
        if (inner.right <= inner.left || inner.bottom <= inner.top) return;
        for (auto it = r->children.rbegin(); it != r->children.rend(); ++it)
            draw(*it, screen, inner);
    }

    bool contains(uint32_t hwnd, POINT screen) {
        auto r = find(hwnd);
        if (!r || !r->facts.visible || (r->facts.style & WS_DISABLED)) return false;
        POINT o = screenOrigin(hwnd);
        POINT p{screen.x - o.x, screen.y - o.y};
        if (p.x < 0 || p.y < 0 || p.x >= r->facts.rect.right - r->facts.rect.left ||
            p.y >= r->facts.rect.bottom - r->facts.rect.top)
            return false;
        return !r->shape || r->shape->contains(p);
    }

    uint32_t hitTest(POINT screen) {
        uint32_t found = 0;
        const std::vector<uint32_t>* level = &topLevel_;
        for (int depth = 0; depth < 64; ++depth) {
            uint32_t next = 0;
            for (uint32_t h : *level)
                if (contains(h, screen)) {
                    next = h;
                    break;
                }
            if (!next) break;
            found = next;
            level = &find(found)->children;
        }
        return found;
    }

    std::mutex m_;
    std::map<uint32_t, Record> windows_;
    std::vector<uint32_t> topLevel_; // top first
    uint32_t next_ = kDesktop + 0x10;
    uint32_t foreground_ = 0;
    uint32_t grab_ = 0;
    POINT pointer_{};
};

} // namespace

std::unique_ptr<DisplayDriver> makeNullDriver() {
    return std::make_unique<NullDriver>();
}

} // namespace ce::user

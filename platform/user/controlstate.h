// controlstate.h: the per-window records of the controls (edit, list box, combo box).
//
// A control keeps its state in a process-wide map keyed by its window rather than in the
// window's extra bytes, so the record can hold C++ objects and a handler can keep it alive
// (a shared_ptr) while a notification to the parent runs, even if the parent destroys the
// control meanwhile.
//
// Inside the platform only (platform/user).
#pragma once

#include <map>
#include <memory>
#include <mutex>

#include "windef.h"

namespace ce::user {

template <class State>
class ControlStates {
public:
    std::shared_ptr<State> find(HWND hwnd) {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = map_.find(hwnd);
        return it == map_.end() ? nullptr : it->second;
    }
    void put(HWND hwnd, std::shared_ptr<State> state) {
        std::lock_guard<std::mutex> lock(mutex_);
        map_[hwnd] = std::move(state);
    }
    void erase(HWND hwnd) {
        std::lock_guard<std::mutex> lock(mutex_);
        map_.erase(hwnd);
    }

private:
    std::mutex mutex_;
    std::map<HWND, std::shared_ptr<State>> map_;
};

} // namespace ce::user

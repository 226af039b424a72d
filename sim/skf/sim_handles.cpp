#include "sim/skf/sim_handles.h"

#include <mutex>
#include <set>

namespace qex::sim {

namespace {

std::mutex& Lock() {
    static std::mutex m;
    return m;
}

std::set<Object*>& Live() {
    static std::set<Object*> live;
    return live;
}

}  // namespace

void* OpenHandle(const Object& object) {
    Object* o = new Object(object);
    std::lock_guard<std::mutex> guard(Lock());
    Live().insert(o);
    return o;
}

Object* LookUp(void* handle, Kind kind) {
    std::lock_guard<std::mutex> guard(Lock());
    auto it = Live().find(static_cast<Object*>(handle));
    if (it == Live().end() || (*it)->kind != kind) return nullptr;
    return *it;
}

bool CloseHandle(void* handle, Kind kind) {
    Object* o = nullptr;
    {
        std::lock_guard<std::mutex> guard(Lock());
        auto it = Live().find(static_cast<Object*>(handle));
        if (it == Live().end() || (*it)->kind != kind) return false;
        o = *it;
        Live().erase(it);
    }
    delete o;
    return true;
}

long OpenHandleCount() {
    std::lock_guard<std::mutex> guard(Lock());
    return static_cast<long>(Live().size());
}

}  // namespace qex::sim

// The handles the software key gives out: device, application and container
// objects, each registered while open so a stale or foreign handle is
// refused instead of followed, and so tests can see that every handle
// opened was closed again.
#pragma once

#include <string>

#include "sim/skf/sim_store.h"

namespace qex::sim {

enum class Kind { Device, Application, Container };

struct Object {
    Kind kind;
    std::string name;
    fs::path path;
    fs::path devicePath;    // the key it belongs to (removed key detection)
    bool userLoggedIn = false;  // applications: the user PIN was verified
    Object* application = nullptr;  // containers: their application
};

// Registers a new object; returns it as the handle.
void* OpenHandle(const Object& object);
// The live object of that kind behind `handle`, or nullptr.
Object* LookUp(void* handle, Kind kind);
// Unregisters and frees; false for a handle that is not open.
bool CloseHandle(void* handle, Kind kind);
// Handles open at the moment (all kinds).
long OpenHandleCount();

}  // namespace qex::sim

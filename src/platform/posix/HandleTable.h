// Tamra grab library: the live kernel objects given out as handles on POSIX, where the system has
// no handles of its own.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/Sync.h"

namespace tamra::platform {

// Maps handle values to objects. Handles are numbers, never addresses, so a stale or made-up
// handle is looked up and refused instead of being dereferenced, and a closed handle value is
// never handed out again. Objects are shared: a wait in progress keeps its object alive when
// another thread closes the handle. Names are shared within the process: creating an object
// under the name of a live object of the same kind opens that object under a new handle.
class HandleTable {
public:
    static HandleTable& instance();

    // Adds the object made by create(), or opens the live object of the same kind named name.
    // Returns the new handle, or nullptr when create() fails or the name is taken by another
    // kind of object.
    template <typename Object, typename Create>
    void* open(const wchar_t* name, Create create);

    std::shared_ptr<Waitable> find(void* handle) const;
    // Removes the handle; false when it is not live.
    bool close(void* handle);

private:
    HandleTable() = default;
    std::shared_ptr<Waitable> namedLocked(const wchar_t* name) const;
    void* addLocked(std::shared_ptr<Waitable> object, const wchar_t* name);

    mutable std::mutex mutex_;
    std::uintptr_t nextHandle_ = 0;
    std::map<std::uintptr_t, std::shared_ptr<Waitable>> objects_;
    std::map<std::wstring, std::weak_ptr<Waitable>> names_;
};

template <typename Object, typename Create>
void* HandleTable::open(const wchar_t* name, Create create) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (std::shared_ptr<Waitable> existing = namedLocked(name)) {
        if (dynamic_cast<Object*>(existing.get()) == nullptr) return nullptr;
        return addLocked(std::move(existing), nullptr);
    }
    std::shared_ptr<Object> object = create();
    if (!object) return nullptr;
    return addLocked(std::move(object), name);
}

}  // namespace tamra::platform

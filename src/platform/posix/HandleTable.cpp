// Tamra grab library: the live kernel objects given out as handles on POSIX, where the system has
// no handles of its own.
#include "platform/posix/HandleTable.h"

namespace tamra::platform {
namespace {

// Handle values step by four from four, as Windows gives them: never null and never
// one of the pseudo-handles at the top of the address range.
constexpr std::uintptr_t kHandleStep = 4;

bool isNamed(const wchar_t* name) {
    return name != nullptr && name[0] != L'\0';
}

}  // namespace

HandleTable& HandleTable::instance() {
    static HandleTable table;
    return table;
}

std::shared_ptr<Waitable> HandleTable::find(void* handle) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = objects_.find(reinterpret_cast<std::uintptr_t>(handle));
    return found != objects_.end() ? found->second : nullptr;
}

bool HandleTable::close(void* handle) {
    std::shared_ptr<Waitable> last;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto found = objects_.find(reinterpret_cast<std::uintptr_t>(handle));
        if (found == objects_.end()) return false;
        last = std::move(found->second);
        objects_.erase(found);
    }
    // The object, when this was its last handle, is destroyed here, outside the lock.
    return true;
}

std::shared_ptr<Waitable> HandleTable::namedLocked(const wchar_t* name) const {
    if (!isNamed(name)) return nullptr;
    const auto found = names_.find(name);
    return found != names_.end() ? found->second.lock() : nullptr;
}

void* HandleTable::addLocked(std::shared_ptr<Waitable> object, const wchar_t* name) {
    if (isNamed(name)) names_[name] = object;
    nextHandle_ += kHandleStep;
    objects_.emplace(nextHandle_, std::move(object));
    return reinterpret_cast<void*>(nextHandle_);
}

}  // namespace tamra::platform

// Tamra grab library: the client's callbacks as {function, context} records.
#pragma once

#include <mutex>

#include <tamra/Types.h>

namespace tamra {

template <typename Function>
struct CallbackRecord {
    Function function = nullptr;
    void* context = nullptr;
};

// One registration: a client thread replaces the record as a whole while a library thread may
// be reading it, so a reader always gets a function together with its own context. The lock is
// held only for the copy, never while the callback runs.
template <typename Function>
class CallbackSlot {
public:
    using Record = CallbackRecord<Function>;

    void set(Function function, void* context) {
        std::lock_guard<std::mutex> guard(lock_);
        record_ = Record{function, context};
    }
    Record get() const {
        std::lock_guard<std::mutex> guard(lock_);
        return record_;
    }

private:
    mutable std::mutex lock_;
    Record record_;
};

struct CallbackTable {
    CallbackSlot<IFW_GRAB_CALLBACK> trash;
    CallbackSlot<IFW_GRAB_CALLBACK> buffer;
    CallbackSlot<IFW_GRAB_CALLBACK_EX> bufferEx;
    CallbackSlot<IFW_GRAB_CALLBACK> changeSolution;
    CallbackSlot<IFW_ACQ_THREAD_EXIT_CALLBACK> acqThreadExit;
    CallbackSlot<IFW_DBG_CATCHER> debug;
};

}  // namespace tamra

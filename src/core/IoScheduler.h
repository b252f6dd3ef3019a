// Timed output scheduler state of a grab core: lock, wake event, quit flag, event list, thread.
#pragma once

namespace tamra {

class IoScheduler {
public:
};

}  // namespace tamra

#include "platform/clock.h"

#include <chrono>

namespace quelvarn {

namespace {

class SteadyClock final : public Clock {
  public:
    double seconds() override {
        return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
};

}  // namespace

Clock& steady_clock() {
    static SteadyClock clock;
    return clock;
}

}  // namespace quelvarn

// Time as the program measures how fast a run goes: a clock that only goes forward.
#pragma once

namespace quelvarn {

class Clock {
  public:
    virtual ~Clock() = default;

    // Seconds from any fixed start.
    virtual double seconds() = 0;
};

// The standard library's steady clock; the same on every system.
Clock& steady_clock();

}  // namespace quelvarn

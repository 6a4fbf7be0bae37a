#pragma once

#include <functional>

// The program's waits: each pass handles the events that are pending,
// sleeping until at least one comes, then the caller tests its condition.
// Nothing spins: a wait with nothing to do sleeps.
namespace EventWait {

// One pass. With wakeAfterMs > 0 the pass also ends after that long, for
// conditions that change without an event (the driver draining its queue).
void onePass(int wakeAfterMs = 0);

// Passes until `done` holds (tested after each pass, so at least one pass
// runs) or the program is ending. `wakeAfterMs` is asked before each pass.
void until(const std::function<bool()>& done, const std::function<int()>& wakeAfterMs = {});

// The program is ending: every wait returns at its next test.
void abandonAll();
bool abandoned();
// A new main window starts with waits that work.
void reset();

} // namespace EventWait

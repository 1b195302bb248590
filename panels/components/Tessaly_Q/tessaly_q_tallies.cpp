// Router tallies: what each level router last reported routed to each
// destination, so that a Take can record what Undo must restore.
#include "tessaly_q.h"

// The hot path of a busy router: one comparison per level and at most one
// store into a fixed table. No allocation, no host command.
std::int32_t Tessaly_Q::onRevertive(revertiveEvent event)
{
    const std::int32_t device = event.device();
    for (int entry = 0; entry < levelCount; ++entry) {
        if (device != levelDevice[entry])
            continue;
        // Only the first level on this router keeps its tally. A router may
        // be registered beyond the table; those destinations have no entry
        // and their reports are dropped like a foreign device's.
        const std::int32_t destination = event.index();
        if (destination >= 0 && destination < tallyEntries)
            tally[entry][destination] = event.state();
        break;
    }
    return 0;
}

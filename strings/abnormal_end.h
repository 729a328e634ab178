#ifndef BLACKJACK_ABNORMAL_END_H
#define BLACKJACK_ABNORMAL_END_H

// A broken precondition of the text type ends the program at once with
// status 3: no exit handler runs and nothing is flushed. A layer above that
// must still undo something first (the console hands the terminal back)
// registers it here; the text type knows nothing of that layer.

namespace abnormal_end {

// The one function run before such an end, after the report: no locks, no
// allocation, no stream. A second registration replaces the first.
void at_abnormal_end(void (*undo)());

}  // namespace abnormal_end

#endif

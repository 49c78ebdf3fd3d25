// Long messages arrive as concatenated parts, each in a slot of its own. Once every part of
// one is in the list they are shown as one message; the parts stay, hidden, so that their
// slots are still known for deleting and for the duplicate rule.
#pragma once
#include <vector>

#include "telmio/sms/message_store.h"

namespace kvo {

// Joins every long message whose parts (same sender, reference and count, received or
// stored sent) are all in `list`: appends the joined message (its text the parts' in part
// order, time and slot those of part 1, unread while any part is) and turns the parts into
// SMS_JOINED_PART. Returns the messages it changed or added, for writing.
std::vector<CSmsMessage*> RejoinParts(CSmsStore::List& list);

// The hidden parts a joined message stands for.
std::vector<CSmsMessage*> PartsOf(CSmsStore::List& list, const CSmsMessage& joined);

}  // namespace kvo

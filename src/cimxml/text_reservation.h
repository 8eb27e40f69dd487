// TextReservation: the block behind a large text buffer. One address range is set aside up
// front for the largest text a buffer can hold; only its leading part is ever usable memory,
// and growing the block makes more of that part usable in place. The text therefore never
// moves and is never copied on growth, and the usable part is on 2 MiB boundaries and advised
// to be backed by huge pages where the system offers them, so that a text of tens of megabytes
// costs a few dozen page faults instead of one for every 4 KiB.
//
// Plain functions over the start of the range, for the C-style buffer that owns it: whoever
// reserved a range releases it once, with textReservationRelease. Where the system cannot set
// a range aside (no such calls, too little address space) textReservationCreate fails and the
// buffer keeps its text in malloc'd blocks instead.
#ifndef RESDB_CIMXML_TEXT_RESERVATION_H_
#define RESDB_CIMXML_TEXT_RESERVATION_H_

#include <cstddef>

// A new range with its first `usable` bytes (at most textReservationLimit()) ready for
// use, or null when none could be set aside or made usable.
char* textReservationCreate(size_t usable);

// Makes the first `usable` bytes of the range at start ready for use, keeping their contents
// (usable at most textReservationLimit(); shrinking is not done). False, with the range as it
// was, when the memory could not be had.
bool textReservationGrow(char* start, size_t usableBefore, size_t usable);

// Gives the whole range at start back to the system. Null: nothing.
void textReservationRelease(char* start);

// The most a range holds: 0 where ranges cannot be had at all.
size_t textReservationLimit();

#endif  // RESDB_CIMXML_TEXT_RESERVATION_H_

// Result codes of the tuple-stream classes: the reader, the tuple and the character streams.
// Every operation that can fail returns one of these as an unsigned long; 0 is success.
#ifndef RESDB_TUPLE_RESULT_CODES_H_
#define RESDB_TUPLE_RESULT_CODES_H_

constexpr unsigned long CSRM_OK = 0;
constexpr unsigned long CSRM_END_OF_DATA = 0x101;     // no further element, character or tuple
constexpr unsigned long CSRM_NO_MEMORY = 0x102;       // an allocation failed
constexpr unsigned long CSRM_INVALID_STREAM = 0x103;  // the stream reports itself not valid
constexpr unsigned long CSRM_NULL_ARGUMENT = 0x104;   // a required pointer is null
constexpr unsigned long CSRM_BAD_STATE = 0x106;  // reader without stream or failed; bad descriptor
constexpr unsigned long CSRM_READ_FAILED =
    0x107;  // input ended inside a tuple, read or seek failed

#endif  // RESDB_TUPLE_RESULT_CODES_H_

// How a record names another record it rests on (a chunk its disk, a file system or mount point
// its volume): a collection may give the other record's global id, while the database files it
// under its own Id.
#ifndef RESDB_KINDS_RECORD_REFERENCE_H_
#define RESDB_KINDS_RECORD_REFERENCE_H_

#include <string_view>

#include "model/srm_resource.h"

// The Id of the record of kind that value names (as an Id, else as a global id) in the
// database record is bound to; value itself when record has no database or the database holds
// no such record. The text viewed is value itself, or the Id of the record found by global id.
std::string_view SrmRecordIdFor(const SrmResource& record, SrmResourceType kind,
                                std::string_view value);

#endif  // RESDB_KINDS_RECORD_REFERENCE_H_

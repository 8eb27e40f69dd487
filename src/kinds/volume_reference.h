// How the records that rest on a volume (file systems, mount points) name it: a collection may
// give the volume's global id, the database files the volume under its own Id.
#ifndef RESDB_KINDS_VOLUME_REFERENCE_H_
#define RESDB_KINDS_VOLUME_REFERENCE_H_

#include <string>

#include "model/srm_resource.h"

// The Id of the volume that value names (as an Id, else as a global id) in the database record
// is bound to; value itself when record has no database or the database holds no such volume.
std::string SrmVolumeIdFor(const SrmResource& record, const std::string& value);

#endif  // RESDB_KINDS_VOLUME_REFERENCE_H_

// Making records by kind: the one place that maps a kind to its class, for the loaders that
// learn a record's kind from its Type element.
#ifndef RESDB_KINDS_KIND_FACTORY_H_
#define RESDB_KINDS_KIND_FACTORY_H_

#include "model/srm_resource.h"

// A new record of kind built with its default constructor (one reference, the caller's), or
// null for a kind no class has or when the allocation fails.
SrmResource* SrmNewResource(SrmResourceType kind);

// The kind whose Type value is the name of key type_key ("Disk" -> SRM_DISK), or SRM_NO_TYPE.
SrmResourceType SrmKindOfTypeKey(int type_key);

#endif  // RESDB_KINDS_KIND_FACTORY_H_

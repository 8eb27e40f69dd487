#include "jni/add_methods.h"

#include "db/srm_resource_database.h"
#include "kinds/alias_identity.h"
#include "kinds/computer.h"
#include "kinds/disk.h"
#include "kinds/disk_chunk.h"
#include "kinds/file_system.h"
#include "kinds/mount_point.h"
#include "kinds/share.h"
#include "kinds/volume.h"
#include "kinds/volume_group.h"
#include "kinds/volume_manager.h"

namespace {

// Every record is made in its database's store, where its text goes too.

// A record that meets its database only when it is added.
template <class Record>
SrmResource* createUnlinked(SrmResourceDatabase* db) {
  return SrmNewInStore<Record>(db->textStore());
}

// A record that reads its children through the database while it deserializes.
template <class Record>
SrmResource* createLinked(SrmResourceDatabase* db) {
  return SrmNewInStore<Record>(db->textStore(), db);
}

// A record bound to its database before it reads itself, so that a disk or volume it names by
// global id is stored under that record's Id, and a computer reads the reference lines that
// follow it; it is filed only when it is added.
template <class Record>
SrmResource* createBound(SrmResourceDatabase* db) {
  Record* record = SrmNewInStore<Record>(db->textStore());
  record->setDatabase(db);
  return record;
}

// The stored record of the same kind and Id.
template <SrmResourceType kKind>
SrmResource* findById(SrmResourceDatabase* db, SrmResource* record) {
  return db->findResource(kKind, record->getId());
}

// The stored record found by Id or, failing that, through the global id (LId).
template <SrmResourceType kKind>
SrmResource* findGlobal(SrmResourceDatabase* db, SrmResource* record) {
  return db->findGlobalResource(kKind, record);
}

int insertResource(SrmResourceDatabase* db, SrmResource* record) {
  return db->addResource(record);
}

// Enters the computer list too, without making the computer this one.
int insertComputer(SrmResourceDatabase* db, SrmResource* record) {
  return db->addComputer(static_cast<SrmComputer*>(record), 0);
}

constexpr char kSystemAttachMessage[] =
    "Failed to collect system information, couldn't attach collection stream";

}  // namespace

const JniAddMethod kJniAddAlias = {
    createUnlinked<SrmId>, findById<SRM_ALIAS>, insertResource, {kSystemAttachMessage, nullptr}};

const JniAddMethod kJniAddComputer = {createBound<SrmComputer>,
                                      findById<SRM_COMPUTER>,
                                      insertComputer,
                                      {kSystemAttachMessage, nullptr}};

const JniAddMethod kJniAddDisk = {
    createLinked<SrmDisk>,
    findGlobal<SRM_DISK>,
    insertResource,
    {"Failed to collect disk information", "Failed to attach collection stream"}};

const JniAddMethod kJniAddDiskChunk = {
    createBound<SrmDiskChunk>,
    findById<SRM_DISKCHUNK>,
    insertResource,
    {"Failed to collect Disk Chunk information, couldn't attach collection stream", nullptr}};

const JniAddMethod kJniAddFileSystem = {
    createBound<SrmFileSystem>,
    findGlobal<SRM_FILESYSTEM>,
    insertResource,
    {"Failed to collect file system information, couldn't attach collection stream", nullptr}};

const JniAddMethod kJniAddMountpoint = {
    createBound<SrmMountPoint>,
    findGlobal<SRM_MOUNTPOINT>,
    insertResource,
    {"Failed to collect Mount Point information, couldn't attach collection stream", nullptr}};

const JniAddMethod kJniAddShare = {
    createUnlinked<SrmShare>,
    findGlobal<SRM_SHARE>,
    insertResource,
    {"Failed to collect share information, couldn't attach collection stream", nullptr}};

const JniAddMethod kJniAddVolume = {
    createLinked<SrmVolume>,
    findGlobal<SRM_VOLUME>,
    insertResource,
    {"Failed to collect volume information, couldn't attach collection stream", nullptr}};

const JniAddMethod kJniAddVolumeGroup = {
    createLinked<SrmVolumeGroup>,
    findGlobal<SRM_VOLUMEGROUP>,
    insertResource,
    {"Failed to collect volume group information, couldn't attach collection stream", nullptr}};

// Volume managers are never matched: a second record with the same Id replaces the first.
const JniAddMethod kJniAddVolumeManagerInfo = {
    createUnlinked<SrmVolumeManager>,
    nullptr,
    insertResource,
    {"Failed to collect volume manager information", nullptr}};

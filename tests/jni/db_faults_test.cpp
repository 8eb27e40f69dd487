// Faults once found in merging databases and in service groups, at the database level. A batch
// cut short, a computer's reference lines, an orphaned sub-volume and service groups of virtual
// servers reloading whole are golden scans (cut-batch, computer-references, orphaned-sub-volume,
// cluster).
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "database_text.h"
#include "db/srm_resource_database.h"
#include "db/srm_service_group.h"
#include "kinds/virtual_server.h"

namespace {

using Db = std::unique_ptr<SrmResourceDatabase>;

Db Load(const std::string& text, int expected = 1) {
  Db db(new SrmResourceDatabase());
  EXPECT_EQ(expected, LoadText(db.get(), text));
  return db;
}

// db serializes; the text loads into a new database, which writes the same text back.
void ExpectRoundTrip(SrmResourceDatabase* db) {
  int rc = 0, again = 0;
  std::string text = SerializedText(db, &rc);
  EXPECT_EQ(1, rc) << text;
  Db loaded = Load(text);
  EXPECT_EQ(text, SerializedText(loaded.get(), &again));
  EXPECT_EQ(1, again);
}

// The first line of a serialized database holding records and groups.
std::string Header(int records, int groups) {
  return "\"ResourceCount=" + std::to_string(records) + "\",\"SGCount=" + std::to_string(groups) +
         "\",;\n";
}

TEST(DbFaultsMergeTest, MergedDatabasesHoldOnlyTheirOwnAndOutliveEachOther) {
  const std::string other_text =
      Header(6, 2) +
      "\"Type=Disk\",\"Id=d1\",\"Name=sda\",;\n\"Type=DiskChunk\",\"Id=c1\",\"Disk=d1\",;\n"
      "\"Type=Volume\",\"Id=v2\",;\n"
      "\"Type=Volume\",\"Id=v1\",\"DiskChunkCount=1\",\"SubVolumeCount=1\",;\n"
      "\"Type=DiskChunk\",\"Id=c1\",;\n\"Type=Volume\",\"Id=v2\",;\n"
      "\"Type=VolumeGroup\",\"Id=vg\",\"DiskCount=1\",\"VolumeCount=1\",;\n"
      "\"Type=Disk\",\"Id=d1\",;\n\"Type=Volume\",\"Id=v1\",;\n"
      "\"Type=VirtualServer\",\"Id=vs\",\"ServiceGroup=sg1\",;\n"
      "\"Type=ServiceGroup\",\"Id=sg1\",\"ChildServiceGroup=sg2\",\"ResourceCount=2\",;\n"
      "\"Type=Disk\",\"Id=d1\",;\n\"Type=VirtualServer\",\"Id=vs\",;\n"
      "\"Type=ServiceGroup\",\"Id=sg2\",\"ResourceCount=1\",;\n\"Type=Volume\",\"Id=v1\",;\n";
  const std::string this_text = Header(1, 1) + "\"Type=Disk\",\"Id=d1\",;\n" +
                                "\"Type=ServiceGroup\",\"Id=sg1\",\"ResourceCount=0\",;\n";
  for (bool destroy_merged : {false, true}) {
    SCOPED_TRACE(destroy_merged ? "the merged database goes first" : "the other goes first");
    Db mine = Load(this_text), other = Load(other_text);
    ASSERT_EQ(1, mine->mergeResourceDatabase(other.get()));
    for (const auto& entry : mine->getServiceGroups()) {  // nothing points into other
      SrmServiceGroup* g = entry.second;
      EXPECT_NE(other->findServiceGroup(entry.first), g);
      SrmServiceGroup* child = g->getNextServiceGroup();
      EXPECT_EQ(child ? mine->findServiceGroup(child->getName()) : nullptr, child);
      for (SrmResourceType kind : {SRM_DISK, SRM_VOLUME, SRM_VIRTUALSERVER}) {
        const auto* members = g->getResourceList()->getSrmResourceIdMap(kind);
        for (const auto& m : members ? *members : SrmResourceList::IdMap())
          EXPECT_EQ(mine->findResource(kind, m.first), m.second);
      }
    }
    Db& gone = destroy_merged ? mine : other;
    SrmResourceDatabase* kept = destroy_merged ? other.get() : mine.get();
    int rc = 0, after = 0;
    const std::string before = SerializedText(kept, &rc);
    EXPECT_EQ(1, rc);
    gone.reset();
    EXPECT_EQ(before, SerializedText(kept, &after));  // no group emptied, no child list dropped
    EXPECT_EQ(1, after);
  }
}

TEST(DbFaultsGroupTest, AGroupIsNeverItsOwnChildAndARemovedGroupIsFreed) {
  Db db = Load(Header(1, 1) + "\"Type=Disk\",\"Id=d1\",;\n" +
               "\"Type=ServiceGroup\",\"Id=g1\",\"ChildServiceGroup=g1\",\"ResourceCount=1\",;\n"
               "\"Type=Disk\",\"Id=d1\",;\n");
  SrmServiceGroup* g1 = db->findServiceGroup("g1");
  ASSERT_NE(nullptr, g1);
  EXPECT_EQ(1, g1->getResourceList()->getResourceCount());
  EXPECT_EQ(0, db->setChildServiceGroup("g1", "g1") && g1->getNextServiceGroup() != nullptr);
  std::string message;
  db->getLastErrorInfo(nullptr, &message, nullptr);
  EXPECT_EQ("Circular Service Sroup Dependency reported", message);
  ExpectRoundTrip(db.get());

  // A removed group whose virtual server points back at it.
  SrmHeld<SrmVirtualServer> server(new SrmVirtualServer("vs"));
  server->setServiceGroup(g1);
  db->addResource(server.get());
  g1->addResource(server.get());
  g1->AddRef();
  SrmHeld<SrmServiceGroup> watched(g1);
  ASSERT_EQ(1, db->removeServiceGroup("g1"));
  EXPECT_EQ(1, watched->getRefCount());  // only the test's: nothing keeps it in a cycle
  EXPECT_EQ(nullptr, server->getServiceGroup());
}

}  // namespace

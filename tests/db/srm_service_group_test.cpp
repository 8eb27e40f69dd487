#include "db/srm_service_group.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "../kinds/kind_test_util.h"
#include "db/srm_resource_database.h"
#include "kinds/computer.h"
#include "kinds/disk.h"
#include "kinds/file_system.h"
#include "kinds/virtual_server.h"
#include "kinds/volume_manager.h"

using kindtest::Held;
using kindtest::MakeTuple;
using kindtest::ReadTuples;
using kindtest::TempFile;

namespace {

class ServiceGroupTest : public ::testing::Test {
 protected:
  // A group filed in the database (which keeps it alive).
  SrmServiceGroup* Group(const std::string& name) {
    SrmServiceGroup* g = new SrmServiceGroup(name);
    EXPECT_EQ(1, db_.addServiceGroup(g));
    g->Release();
    return g;
  }
  // A record filed in the database (which keeps it alive).
  template <class T>
  T* Filed(const std::string& id) {
    T* r = new T(id);
    EXPECT_EQ(1, db_.addResource(r));
    r->Release();
    return r;
  }
  std::string LastMessage(int* code = nullptr, SrmResource** record = nullptr) {
    std::string message;
    db_.getLastErrorInfo(code, &message, record);
    return message;
  }
  // Attaches text as the collection stream a group's members are read from.
  void Follow(TempFile* file, const std::string& text) {
    ASSERT_TRUE(file->write(text));
    file->rewind();
    ASSERT_EQ(1, db_.attachStream(file->fd()));
  }
  // Writes g with flags; *rc receives the result.
  std::string Written(SrmServiceGroup* g, int flags, int* rc = nullptr) {
    TempFile file;
    int result = g->serialize(file.fd(), flags);
    if (rc != nullptr) *rc = result;
    return file.contents();
  }

  SrmResourceDatabase db_;
};

TEST_F(ServiceGroupTest, Constructors) {
  Held<SrmServiceGroup> named(new SrmServiceGroup("g1"));
  EXPECT_EQ("g1", named->getName());
  EXPECT_EQ(nullptr, named->getDatabase());
  EXPECT_EQ(nullptr, named->getResourceList()->getDb());
  EXPECT_EQ(nullptr, named->getNextServiceGroup());

  Held<SrmServiceGroup> bound(new SrmServiceGroup(&db_));
  EXPECT_EQ("", bound->getName());
  EXPECT_EQ(&db_, bound->getDatabase());
  EXPECT_EQ(&db_, bound->getResourceList()->getDb());

  Held<SrmServiceGroup> plain(new SrmServiceGroup());
  EXPECT_EQ("", plain->getName());
  EXPECT_EQ(nullptr, plain->getDatabase());
}

TEST_F(ServiceGroupTest, ChildIsSetOnceAndClearedOnly) {
  SrmServiceGroup* g1 = Group("g1");
  SrmServiceGroup* g2 = Group("g2");
  SrmServiceGroup* g3 = Group("g3");
  EXPECT_EQ(1, g1->setNextServiceGroup(g2));
  EXPECT_EQ(g2, g1->getNextServiceGroup());
  EXPECT_EQ(1, g1->setNextServiceGroup(g2));  // the current child

  int code = 0;
  EXPECT_EQ(0, g1->setNextServiceGroup(g3));
  EXPECT_EQ("Invalid Service Group Dependency provided", LastMessage(&code));
  EXPECT_EQ(22, code);
  EXPECT_EQ(g2, g1->getNextServiceGroup());

  EXPECT_EQ(0, g1->setNextServiceGroup(nullptr));
  EXPECT_EQ(nullptr, g1->getNextServiceGroup());
  EXPECT_EQ(1, g1->setNextServiceGroup(g3));

  // Without a database the refusal records nothing.
  Held<SrmServiceGroup> loose(new SrmServiceGroup("loose"));
  ASSERT_EQ(1, loose->setNextServiceGroup(g1));
  db_.setErrorInfo(0, "", nullptr);
  EXPECT_EQ(0, loose->setNextServiceGroup(g2));
  EXPECT_EQ("", LastMessage());
}

TEST_F(ServiceGroupTest, ParentsRefuseTheirAncestorsAsChild) {
  SrmServiceGroup* child = Group("child");
  SrmServiceGroup* parent = Group("parent");
  SrmServiceGroup* grand = Group("grand");
  SrmServiceGroup* other = Group("other");
  EXPECT_EQ(0, child->checkCircDependency(parent));  // no parents: anything goes
  EXPECT_EQ(0, child->checkCircDependency(nullptr));
  EXPECT_EQ(0, child->addParentGroup(nullptr));
  EXPECT_EQ(1, child->addParentGroup(parent));
  EXPECT_EQ(0, child->addParentGroup(parent));  // a parent of that name is recorded
  EXPECT_EQ(1, parent->addParentGroup(grand));
  EXPECT_EQ(1, child->checkCircDependency(parent));
  EXPECT_EQ(1, child->checkCircDependency(grand));  // further up
  EXPECT_EQ(0, child->checkCircDependency(other));

  int code = 0;
  EXPECT_EQ(0, child->setNextServiceGroup(grand));
  EXPECT_EQ("Circular Service Sroup Dependency reported", LastMessage(&code));
  EXPECT_EQ(22, code);
  EXPECT_EQ(nullptr, child->getNextServiceGroup());
  EXPECT_EQ(1, child->setNextServiceGroup(other));

  // Parent links that loop end the search as well.
  EXPECT_EQ(1, grand->addParentGroup(child));
  EXPECT_EQ(0, child->checkCircDependency(Group("stranger")));
  EXPECT_EQ(1, grand->checkCircDependency(parent));
}

TEST_F(ServiceGroupTest, DependantResourcesFollowTheChildChainAndEndOnCycles) {
  SrmServiceGroup* g1 = Group("g1");
  SrmServiceGroup* g2 = Group("g2");
  SrmServiceGroup* g3 = Group("g3");
  ASSERT_EQ(1, g1->addResource(Filed<SrmDisk>("d1")));
  ASSERT_EQ(1, g2->addResource(Filed<SrmFileSystem>("f1")));
  ASSERT_EQ(1, g2->addResource(Filed<SrmDisk>("d2")));
  ASSERT_EQ(1, g3->addResource(Filed<SrmVirtualServer>("vs1")));
  ASSERT_EQ(1, g1->setNextServiceGroup(g2));
  ASSERT_EQ(1, g2->setNextServiceGroup(g3));

  SrmResourceList all(&db_);
  EXPECT_EQ(0, g1->getDependantResourceList(nullptr));
  EXPECT_EQ(1, g1->getDependantResourceList(&all));
  EXPECT_EQ(4, all.getResourceCount());
  SrmResourceList from_g2(&db_);
  EXPECT_EQ(1, g2->getDependantResourceList(&from_g2));
  EXPECT_EQ(2 + 1, from_g2.getResourceCount());
  SrmResourceList disks(&db_);
  EXPECT_EQ(0, g1->getDependantResourceList(nullptr, SRM_DISK));
  EXPECT_EQ(1, g1->getDependantResourceList(&disks, SRM_DISK));
  EXPECT_EQ(2, disks.getResourceCount());

  // g3 -> g1 closes a cycle of child links (nothing records parents to refuse it).
  ASSERT_EQ(1, g3->setNextServiceGroup(g1));
  for (SrmServiceGroup* start : {g1, g2, g3}) {
    SrmResourceList cycle(&db_);
    EXPECT_EQ(1, start->getDependantResourceList(&cycle));
    EXPECT_EQ(4, cycle.getResourceCount());
    SrmResourceList cycle_disks(&db_);
    EXPECT_EQ(1, start->getDependantResourceList(&cycle_disks, SRM_DISK));
    EXPECT_EQ(2, cycle_disks.getResourceCount());
  }
}

TEST_F(ServiceGroupTest, MemberListsByKind) {
  SrmServiceGroup* g = Group("g1");
  SrmResourceList::IdMap* servers = reinterpret_cast<SrmResourceList::IdMap*>(&db_);
  EXPECT_EQ(0, g->getVirtualServerList(&servers));
  EXPECT_EQ(nullptr, servers);
  EXPECT_EQ(nullptr, g->getSystemList());
  ASSERT_EQ(1, g->addResource(Filed<SrmVirtualServer>("vs1")));
  ASSERT_EQ(1, g->addResource(Filed<SrmVirtualServer>("vs2")));
  ASSERT_EQ(1, g->addResource(Filed<SrmComputer>("h1")));
  EXPECT_EQ(2, g->getVirtualServerList(&servers));
  ASSERT_NE(nullptr, servers);
  EXPECT_EQ(1u, servers->count("vs2"));
  ASSERT_NE(nullptr, g->getSystemList());
  EXPECT_EQ(1u, g->getSystemList()->count("h1"));
}

TEST_F(ServiceGroupTest, MergeTakesMembersAndAChildWhenItHasNone) {
  SrmServiceGroup* g1 = Group("g1");
  SrmServiceGroup* g2 = Group("g2");
  SrmServiceGroup* child = Group("child");
  SrmDisk* d1 = Filed<SrmDisk>("d1");
  ASSERT_EQ(1, g2->addResource(d1));
  ASSERT_EQ(1, g2->addResource(Filed<SrmDisk>("d2")));
  ASSERT_EQ(1, g1->addResource(d1));

  EXPECT_EQ(1, g1->mergeServiceGroup(g2));  // g2 has no child: g1's stays unset
  EXPECT_EQ(nullptr, g1->getNextServiceGroup());
  EXPECT_EQ(2, g1->getResourceList()->getResourceCount());
  ASSERT_EQ(1, g2->setNextServiceGroup(child));
  EXPECT_EQ(1, g1->mergeServiceGroup(g2));
  EXPECT_EQ(child, g1->getNextServiceGroup());

  EXPECT_EQ(0, g1->mergeServiceGroup(nullptr));
  EXPECT_EQ(1, g1->mergeServiceGroup(g1));
  EXPECT_EQ(0, d1->isMerged());  // a group merged into itself marks no member merged
}

TEST_F(ServiceGroupTest, IntegrityHoldsWhenEveryReportedMemberIsInTheDatabase) {
  Held<SrmServiceGroup> loose(new SrmServiceGroup("loose"));
  EXPECT_EQ(0, loose->checkIntegrity());  // no database

  Held<SrmComputer> host(new SrmComputer("h1"));
  ASSERT_EQ(1, db_.addComputer(host.get(), 1));
  ASSERT_NE(nullptr, db_.getThisComputer());  // fills the host name errors are filed under
  SrmServiceGroup* g = Group("g1");
  ASSERT_EQ(1, g->addResource(Filed<SrmDisk>("d1")));
  ASSERT_EQ(1, g->addResource(host.get()));
  EXPECT_EQ(1, g->checkIntegrity());

  // Members of other kinds are not checked; members withdrawn from the report are skipped.
  Held<SrmVolumeManager> vm(new SrmVolumeManager("vm1"));
  ASSERT_EQ(1, g->addResource(vm.get()));
  Held<SrmVirtualServer> vs(new SrmVirtualServer("vs9"));
  vs->setReport(false);
  ASSERT_EQ(1, g->addResource(vs.get()));
  EXPECT_EQ(1, g->checkIntegrity());
  EXPECT_EQ(0, db_.getErrorList()->getErrorCount());

  vs->setReport(true);
  int code = 0;
  SrmResource* record = nullptr;
  EXPECT_EQ(0, g->checkIntegrity());
  EXPECT_EQ("Service group resource not found", LastMessage(&code, &record));
  EXPECT_EQ(22, code);
  EXPECT_EQ(vs.get(), record);
  const auto* filed = db_.getErrorList()->getSrmErrorIdMap("h1");
  ASSERT_NE(nullptr, filed);
  ASSERT_EQ(1u, filed->size());
  EXPECT_EQ("Service group resource not found: vs9", filed->front()->getDescription());
  EXPECT_EQ(22, filed->front()->getCode());
  EXPECT_EQ(2, filed->front()->getSeverity());
}

TEST_F(ServiceGroupTest, IntegrityRefusesAMemberFiledUnderAnotherKind) {
  Held<SrmComputer> host(new SrmComputer("h1"));
  ASSERT_EQ(1, db_.addComputer(host.get(), 1));
  ASSERT_NE(nullptr, db_.getThisComputer());
  SrmServiceGroup* g = Group("g1");
  ASSERT_EQ(1, g->addResource(Filed<SrmDisk>("d1")));
  // A file system slipped into the disks' map behind the list's back.
  SrmFileSystem* fs = Filed<SrmFileSystem>("f1");
  fs->AddRef();  // the map's entry holds it; the group's list releases it
  (*g->getResourceList()->getSrmResourceIdMap(SRM_DISK))["f1"] = fs;
  SrmResource* record = nullptr;
  EXPECT_EQ(0, g->checkIntegrity());
  EXPECT_EQ("Invalid resource in invalid type-list", LastMessage(nullptr, &record));
  EXPECT_EQ(fs, record);
  const auto* filed = db_.getErrorList()->getSrmErrorIdMap("h1");
  ASSERT_NE(nullptr, filed);
  EXPECT_EQ("Invalid resource in invalid type-list", filed->back()->getDescription());
}

TEST_F(ServiceGroupTest, WritesGroupLineThenMemberReferences) {
  SrmServiceGroup* g1 = Group("g1");
  ASSERT_EQ(1, g1->setNextServiceGroup(Group("g2")));
  ASSERT_EQ(1, g1->addResource(Filed<SrmFileSystem>("f1")));
  ASSERT_EQ(1, g1->addResource(Filed<SrmDisk>("d1")));
  ASSERT_EQ(1, g1->addResource(Filed<SrmVolumeManager>("vm1")));  // neither counted nor written
  const std::string group_line =
      "\"Type=ServiceGroup\",\"Id=g1\",\"ChildServiceGroup=g2\",\"ResourceCount=2\",;\n";
  const std::string members = "\"Type=Disk\",\"Id=d1\",;\n\"Type=FileSystem\",\"Id=f1\",;\n";
  const std::string short_line = "\"Type=ServiceGroup\",\"Id=g1\",;\n";
  const struct {
    int flags;
    std::string text;
  } cases[] = {
      {0, group_line + members},
      {2, group_line},
      {3, short_line},
      {1, short_line + members},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.flags);
    int rc = 0;
    EXPECT_EQ(c.text, Written(g1, c.flags, &rc));
    EXPECT_EQ(1, rc);
  }
  // A group without name or child writes neither.
  SrmServiceGroup* bare = Group("");
  EXPECT_EQ("\"Type=ServiceGroup\",\"ResourceCount=0\",;\n", Written(bare, 0));
}

TEST_F(ServiceGroupTest, WriteFailures) {
  Held<SrmServiceGroup> loose(new SrmServiceGroup("loose"));
  int rc = 1;
  EXPECT_EQ("", Written(loose.get(), 0, &rc));
  EXPECT_EQ(0, rc);

  SrmServiceGroup* g = Group("g1");
  int read_only = ::open("/dev/null", O_RDONLY);
  ASSERT_GE(read_only, 0);
  int code = 0;
  EXPECT_EQ(0, g->serialize(read_only, 0));
  ::close(read_only);
  EXPECT_EQ("Failed to serialize Service Group", LastMessage(&code));
  EXPECT_EQ(5, code);

  // A member that cannot write (no database link) fails the group after its line.
  Held<SrmDisk> unbound(new SrmDisk("d1"));
  ASSERT_EQ(1, g->addResource(unbound.get()));
  unbound->setDatabase(nullptr);
  EXPECT_EQ("\"Type=ServiceGroup\",\"Id=g1\",\"ResourceCount=1\",;\n", Written(g, 0, &rc));
  EXPECT_EQ(0, rc);
}

TEST_F(ServiceGroupTest, ReadsGroupLineAndItsMembers) {
  Filed<SrmDisk>("d1");
  Filed<SrmFileSystem>("f1");
  TempFile members;
  Follow(&members,
         "\"Type=Disk\",\"Id=d1\",;\n\"Type=FileSystem\",\"Id=f1\",;\n\"Type=Disk\",\"Id=d1\",;\n");
  SrmServiceGroup* g = Group("g1");
  auto line = MakeTuple(
      {"\"Type=ServiceGroup\"", "\"Id=g1\"", "\"ChildServiceGroup=g0\"", "\"ResourceCount=2\""});
  EXPECT_EQ(1, g->deserialize(-1, line.get()));
  EXPECT_EQ(2, g->getResourceList()->getResourceCount());
  // The child the database lacked was created there, empty, and made the child.
  SrmServiceGroup* g0 = db_.findServiceGroup("g0");
  ASSERT_NE(nullptr, g0);
  EXPECT_EQ(g0, g->getNextServiceGroup());
  EXPECT_EQ(1, g0->getRefCount());
  EXPECT_EQ(&db_, g0->getResourceList()->getDb());
  // Only the announced members were read.
  std::string left;
  db_.getTupleStream()->GetNextTuple(&left);
  EXPECT_EQ("\"Type=Disk\",\"Id=d1\",", left);

  // A child the database holds is linked as it is; no members announced: nothing read.
  SrmServiceGroup* h = Group("h");
  auto no_members = MakeTuple({"\"ChildServiceGroup=g1\"", "\"Id=h2\"", "\"ResourceCount=-1\""});
  EXPECT_EQ(1, h->deserialize(-1, no_members.get()));
  EXPECT_EQ(g, h->getNextServiceGroup());
  EXPECT_EQ("h2", h->getName());
}

TEST_F(ServiceGroupTest, UnresolvedMembersFailTheGroup) {
  Filed<SrmDisk>("d1");
  Filed<SrmVolumeManager>("vm1");
  const struct {
    const char* name;
    const char* members;
    int count;
    int kept;  // members found before the failure stay
  } cases[] = {
      {"a disk the database lacks", "\"Type=Disk\",\"Id=d1\",;\n\"Type=Disk\",\"Id=d9\",;\n", 2, 1},
      {"a kind members cannot have", "\"Type=VolumeManager\",\"Id=vm1\",;\n", 1, 0},
      {"no Type", "\"Id=d1\",;\n", 1, 0},
      {"fewer than announced", "\"Type=Disk\",\"Id=d1\",;\n", 3, 1},
      {"input ends inside a tuple", "\"Type=Disk\",\"Id=d1\",;\n\"Type=Di", 2, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempFile members;
    Follow(&members, c.members);
    Held<SrmServiceGroup> g(new SrmServiceGroup(&db_));
    db_.setErrorInfo(0, "", nullptr);
    auto line = MakeTuple({"\"Id=g1\"", "\"ResourceCount=" + std::to_string(c.count) + "\""});
    int code = 0;
    EXPECT_EQ(0, g->deserialize(-1, line.get()));
    EXPECT_EQ("Failed to deserialize Service Group", LastMessage(&code));
    EXPECT_EQ(22, code);
    EXPECT_EQ(c.kept, g->getResourceList()->getResourceCount());
  }
}

TEST_F(ServiceGroupTest, ReadFailuresWithoutMembers) {
  SrmServiceGroup* g = Group("g1");
  int code = 0;
  EXPECT_EQ(0, g->deserialize(-1, nullptr));
  EXPECT_EQ("Failed to deserialize Service Group", LastMessage(&code));
  EXPECT_EQ(22, code);

  auto line = MakeTuple({"\"Id=g1\"", "\"ResourceCount=1\""});
  EXPECT_EQ(0, g->deserialize(-1, line.get()));  // no reader attached

  Held<SrmServiceGroup> loose(new SrmServiceGroup());
  EXPECT_EQ(0, loose->deserialize(-1, line.get()));  // no database
  EXPECT_EQ(0, loose->deserialize(-1, nullptr));
}

// A group can hold a member that holds the group (a virtual server naming its group, a
// computer running it): the database must still release both.
TEST(ServiceGroupLifetimeTest, DatabaseReleasesGroupsHeldByTheirMembers) {
  static int groups_destroyed = 0;
  struct CountedGroup : SrmServiceGroup {
    explicit CountedGroup(const std::string& name) : SrmServiceGroup(name) {}
    ~CountedGroup() override { ++groups_destroyed; }
  };
  groups_destroyed = 0;
  {
    SrmResourceDatabase db;
    Held<SrmServiceGroup> g1(new CountedGroup("g1"));
    Held<SrmServiceGroup> g2(new CountedGroup("g2"));
    ASSERT_EQ(1, db.addServiceGroup(g1.get()));
    ASSERT_EQ(1, db.addServiceGroup(g2.get()));
    Held<SrmVirtualServer> vs(new SrmVirtualServer("vs1"));
    ASSERT_EQ(1, db.addResource(vs.get()));
    vs->setServiceGroup(g1.get());
    ASSERT_EQ(1, g1->addResource(vs.get()));
    Held<SrmComputer> host(new SrmComputer("h1"));
    ASSERT_EQ(1, db.addComputer(host.get(), 1));
    ASSERT_EQ(1, host->addServiceGroup(g2.get()));
    ASSERT_EQ(1, g2->addResource(host.get()));
  }
  EXPECT_EQ(2, groups_destroyed);
}

}  // namespace

#include "kinds/computer.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "db/srm_resource_database.h"
#include "db/srm_service_group.h"
#include "kind_test_util.h"
#include "kinds/alias_identity.h"
#include "kinds/virtual_server.h"
#include "kinds/volume_manager.h"

using kindtest::Held;
using kindtest::MakeTuple;
using kindtest::ReadTuples;
using kindtest::SerializeToText;
using kindtest::StubRecord;
using kindtest::TempFile;

namespace {

constexpr int64_t k4TB = 3907018584;  // KB of a 4 TB disk: does not fit 32 bits

const char kBareLine[] =
    "\"Type=System\",\"Id=h1\",\"State=12\",\"HostName=h1\",\"RAMMB=0\",\"SwapMB=0\","
    "\"AddrSpaceMB=0\",\"CapacityKB=0\",\"FreeSpaceKB=0\",\"ProcCount=0\",\"ProcSpeedMHz=0\","
    "\"NodeId=-1\",\"LLTId=-1\",\"ResourceCount=0\",\"SGCount=0\",\"TIM=0\",;\n";

class ComputerTest : public ::testing::Test {
 protected:
  Held<SrmComputer> Bound(const std::string& name = "") {
    Held<SrmComputer> c(name.empty() ? new SrmComputer() : new SrmComputer(name));
    c->setDatabase(&db_);
    return c;
  }
  // Files a record of kind under id in the database.
  void File(SrmResourceType kind, const std::string& id) {
    ASSERT_EQ(1, db_.addResource(Held<StubRecord>(new StubRecord(kind, id)).get()));
  }
  // Attaches text as the collection stream the references are read from.
  void Follow(const std::string& text) {
    ASSERT_TRUE(refs_.write(text));
    refs_.rewind();
    ASSERT_EQ(1, db_.attachStream(refs_.fd()));
  }
  // The next tuple left in the attached stream, as its raw text ("" at the end).
  std::string NextLeft() {
    std::string text;
    db_.getTupleStream()->GetNextTuple(&text);
    return text;
  }

  SrmResourceDatabase db_;
  TempFile refs_;
};

TEST_F(ComputerTest, StartsEmpty) {
  Held<SrmComputer> c(new SrmComputer("h1"));
  EXPECT_EQ(SRM_COMPUTER, c->getType());
  EXPECT_EQ("h1", c->getId());
  EXPECT_EQ("h1", c->getHostName());
  EXPECT_EQ(12, c->getFlags());
  EXPECT_EQ(-1, c->getLLTId());
  EXPECT_EQ(-1, c->getNodeId());
  EXPECT_EQ(0, c->getTIM());
  EXPECT_EQ(0, c->getResourceList()->getResourceCount());
  EXPECT_TRUE(c->getServiceGroups().empty());
  Held<SrmComputer> bare(new SrmComputer());
  EXPECT_EQ("", bare->getId());
  EXPECT_EQ("", bare->getHostName());
}

TEST_F(ComputerTest, WritesBareFullAndReferenceLines) {
  Held<SrmComputer> c = Bound("h1");
  int rc = 0;
  EXPECT_EQ(kBareLine, SerializeToText(c.get(), 0, &rc));
  EXPECT_EQ(1, rc);
  EXPECT_EQ("\"Type=System\",\"Id=h1\",;\n", SerializeToText(c.get(), 1, &rc));
  EXPECT_EQ(1, rc);
}

TEST_F(ComputerTest, WritesEveryFieldInOrderWithSizesWhole) {
  Held<SrmComputer> c = Bound("h1");
  c->setPubId("p1");
  c->setLId("g1");
  c->setFlags(44);
  c->setRAMMB(2048);
  c->setSwapMB(-1);
  c->setAddrSpaceMB(int64_t{1} << 40);
  c->setCapacity(k4TB);
  c->setFreeSpace(4294967296);
  c->setProcCount(4);
  c->setProcSpeedMHz(3000);
  c->setCPUInfo("cpu");
  c->setHWInfo("hw");
  c->setOS("os");
  c->setOSInfo("osi");
  c->setMgmtURL("http://m");
  c->setDisplayMgmtURL("http://d");
  c->setHostId("hid");
  c->setIPAddr("10.0.0.1");
  c->setNodeId(2);
  c->setLLTId(0);
  c->setTIM(1);
  EXPECT_EQ(
      "\"Type=System\",\"Id=h1\",\"PubId=p1\",\"State=44\",\"LId=g1\",\"HostName=h1\","
      "\"RAMMB=2048\",\"SwapMB=-1\",\"AddrSpaceMB=1099511627776\",\"CapacityKB=3907018584\","
      "\"FreeSpaceKB=4294967296\",\"ProcCount=4\",\"ProcSpeedMHz=3000\",\"CPUInfo=cpu\","
      "\"HWInfo=hw\",\"OS=os\",\"OSInfo=osi\",\"MgmtURL=http://m\",\"DisplayMgmtURL=http://d\","
      "\"HostId=hid\",\"IPAddr=10.0.0.1\",\"NodeId=2\",\"LLTId=0\",\"ResourceCount=0\","
      "\"SGCount=0\",\"TIM=1\",;\n",
      SerializeToText(c.get(), 0));
}

TEST_F(ComputerTest, ChildrenFollowByKindOrderThenGroups) {
  Held<SrmComputer> c = Bound("h1");
  Held<SrmVirtualServer> vs(new SrmVirtualServer("vs1"));
  Held<SrmVolumeManager> vm(new SrmVolumeManager("vm1"));
  Held<SrmVolumeManager> vm0(new SrmVolumeManager("vm0"));
  for (SrmResource* r : {static_cast<SrmResource*>(vs.get()), static_cast<SrmResource*>(vm.get()),
                         static_cast<SrmResource*>(vm0.get())}) {
    ASSERT_EQ(1, db_.addResource(r));
    ASSERT_EQ(1, c->addResource(r));
  }
  Held<SrmServiceGroup> g2(new SrmServiceGroup("g2"));
  Held<SrmServiceGroup> g1(new SrmServiceGroup("g1"));
  ASSERT_EQ(1, db_.addServiceGroup(g2.get()));
  ASSERT_EQ(1, db_.addServiceGroup(g1.get()));
  ASSERT_EQ(1, c->addServiceGroup(g2.get()));
  ASSERT_EQ(1, c->addServiceGroup(g1.get()));
  int rc = 0;
  std::string text = SerializeToText(c.get(), 0, &rc);
  EXPECT_EQ(1, rc);
  // Volume managers come before virtual servers, whatever their kind numbers say.
  EXPECT_EQ(
      "\"Type=System\",\"Id=h1\",\"State=12\",\"HostName=h1\",\"RAMMB=0\",\"SwapMB=0\","
      "\"AddrSpaceMB=0\",\"CapacityKB=0\",\"FreeSpaceKB=0\",\"ProcCount=0\",\"ProcSpeedMHz=0\","
      "\"NodeId=-1\",\"LLTId=-1\",\"ResourceCount=3\",\"SGCount=2\",\"TIM=0\",;\n"
      "\"Type=VolumeManager\",\"Id=vm0\",;\n"
      "\"Type=VolumeManager\",\"Id=vm1\",;\n"
      "\"Type=VirtualServer\",\"Id=vs1\",;\n"
      "\"Type=ServiceGroup\",\"Id=g1\",;\n"
      "\"Type=ServiceGroup\",\"Id=g2\",;\n",
      text);
  // The reference form writes no children.
  EXPECT_EQ("\"Type=System\",\"Id=h1\",;\n", SerializeToText(c.get(), 1));
}

TEST_F(ComputerTest, WriteFailures) {
  Held<SrmComputer> unbound(new SrmComputer("h1"));
  int rc = 1;
  EXPECT_EQ("", SerializeToText(unbound.get(), 0, &rc));
  EXPECT_EQ(0, rc);

  Held<SrmComputer> c = Bound("h1");
  int read_only = ::open("/dev/null", O_RDONLY);
  ASSERT_GE(read_only, 0);
  EXPECT_EQ(0, c->serialize(read_only, 0));  // the write is refused
  ::close(read_only);

  // A child that cannot write (no database link) fails the computer after its own line.
  Held<SrmVolumeManager> loose(new SrmVolumeManager("vm1"));
  ASSERT_EQ(1, c->addResource(loose.get()));
  std::string expected = kBareLine;
  expected.replace(expected.find("ResourceCount=0"), 15, "ResourceCount=1");
  EXPECT_EQ(expected, SerializeToText(c.get(), 0, &rc));
  EXPECT_EQ(0, rc);
}

TEST_F(ComputerTest, ChildListRefusesComputersAndNull) {
  Held<SrmComputer> c(new SrmComputer("h1"));
  Held<SrmComputer> other(new SrmComputer("h2"));
  Held<SrmVolumeManager> vm(new SrmVolumeManager("vm1"));
  EXPECT_EQ(0, c->addResource(nullptr));
  EXPECT_EQ(0, c->addResource(other.get()));
  EXPECT_EQ(1, c->addResource(vm.get()));
  EXPECT_EQ(2, vm->getRefCount());
  EXPECT_EQ(0, c->removeResource(nullptr));
  EXPECT_EQ(1, c->removeResource(vm.get()));
  EXPECT_EQ(1, vm->getRefCount());
  EXPECT_EQ(0, c->getResourceList()->getResourceCount());
}

TEST_F(ComputerTest, ServiceGroupsAreHeldOnceByName) {
  Held<SrmServiceGroup> g(new SrmServiceGroup("g1"));
  Held<SrmServiceGroup> same_name(new SrmServiceGroup("g1"));
  {
    Held<SrmComputer> c(new SrmComputer("h1"));
    EXPECT_EQ(0, c->addServiceGroup(nullptr));
    EXPECT_EQ(1, c->addServiceGroup(g.get()));
    EXPECT_EQ(0, c->addServiceGroup(same_name.get()));
    EXPECT_EQ(0, c->addServiceGroup(g.get()));
    EXPECT_EQ(2, g->getRefCount());
    EXPECT_EQ(1, same_name->getRefCount());
    EXPECT_EQ(0, c->removeServiceGroup("g9"));
    EXPECT_EQ(1, c->removeServiceGroup("g1"));
    EXPECT_EQ(1, c->addServiceGroup(g.get()));
  }
  EXPECT_EQ(1, g->getRefCount());  // the computer's reference went with it
}

// One element read into a computer whose capacity and free space start at 10.
struct ReadCase {
  const char* element;
  std::function<int64_t(const SrmComputer&)> field;
  int64_t expected;
};

TEST_F(ComputerTest, ReadsEachElementByItsRule) {
  auto flags = [](const SrmComputer& c) { return c.getFlags(); };
  auto capacity = [](const SrmComputer& c) { return c.getCapacityKB(); };
  const std::vector<ReadCase> cases = {
      {"\"State=56\"", flags, 56},  // replaces the word
      {"\"CapacityKB=-5\"", capacity, 10},
      {"\"CapacityKB=3907018584\"", capacity, k4TB},
      {"\"FreeSpaceKB= 12kb\"", [](const SrmComputer& c) { return c.getFreeSpaceKB(); }, 12},
      {"\"AddrSpaceMB=8589934592\"", [](const SrmComputer& c) { return c.getAddrSpaceMB(); },
       8589934592},
      {"\"RAMMB=4294967297\"", [](const SrmComputer& c) { return c.getRAMMB(); }, 1},  // 32 bits
      {"\"ProcCount=x\"", [](const SrmComputer& c) { return c.getProcCount(); }, 0},
      {"\"NodeId=5\"", [](const SrmComputer& c) { return c.getNodeId(); }, 5},
      {"\"TIM=1\"", [](const SrmComputer& c) { return c.getTIM(); }, 1},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.element);
    Held<SrmComputer> computer(new SrmComputer());
    computer->setCapacity(10);
    computer->setFreeSpace(10);
    auto tuple = MakeTuple({c.element});
    ASSERT_EQ(1, computer->deserialize(-1, tuple.get()));
    EXPECT_EQ(c.expected, c.field(*computer));
  }
}

TEST_F(ComputerTest, ReadsTextsAndStopsAtElementWithoutEquals) {
  Held<SrmComputer> c(new SrmComputer());
  auto tuple = MakeTuple({"\"Type=Disk\"", "\"Id=h1\"", "\"HostName=a\"", "\"HostName=b\"",
                          "\"PubId=p\"", "\"LId=g\"", "\"CPUInfo=c\"", "\"HWInfo=w\"", "\"OS=o\"",
                          "\"OSInfo=oi\"", "\"MgmtURL=m\"", "\"DisplayMgmtURL=d\"", "\"HostId=hi\"",
                          "\"IPAddr=ip\"", "\"Bogus=1\"", "\"junk\"", "\"RAMMB=3\""});
  EXPECT_EQ(1, c->deserialize(-1, tuple.get()));
  EXPECT_EQ(SRM_COMPUTER, c->getType());  // Type is not compared
  EXPECT_EQ("h1", c->getId());
  EXPECT_EQ("b", c->getHostName());  // the later element wins
  EXPECT_EQ("p", c->getPubId());
  EXPECT_EQ("g", c->getLId());
  EXPECT_EQ("c", c->getCPUInfo());
  EXPECT_EQ("w", c->getHWInfo());
  EXPECT_EQ("o", c->getOS());
  EXPECT_EQ("oi", c->getOSInfo());
  EXPECT_EQ("m", c->getMgmtURL());
  EXPECT_EQ("d", c->getDisplayMgmtURL());
  EXPECT_EQ("hi", c->getHostId());
  EXPECT_EQ("ip", c->getIPAddr());
  EXPECT_EQ(0, c->getRAMMB());  // after the element without '='
  EXPECT_EQ(0, c->deserialize(-1, nullptr));
}

TEST_F(ComputerTest, AnnouncedReferencesNeedDatabaseAndReader) {
  for (const char* count : {"\"ResourceCount=1\"", "\"SGCount=1\""}) {
    SCOPED_TRACE(count);
    Held<SrmComputer> unbound(new SrmComputer());
    auto tuple = MakeTuple({"\"Id=h1\"", count});
    EXPECT_EQ(0, unbound->deserialize(-1, tuple.get()));
    Held<SrmComputer> no_reader = Bound();
    EXPECT_EQ(0, no_reader->deserialize(-1, tuple.get()));
  }
  // Counts of 0 or less announce nothing.
  Held<SrmComputer> c(new SrmComputer());
  auto tuple = MakeTuple({"\"ResourceCount=-2\"", "\"SGCount=0\""});
  EXPECT_EQ(1, c->deserialize(-1, tuple.get()));
}

TEST_F(ComputerTest, ReadsResourceReferencesFromTheDatabase) {
  File(SRM_DISK, "d1");
  File(SRM_FILESYSTEM, "f1");
  File(SRM_VIRTUALSERVER, "vs1");
  Follow(
      "\"Type=Disk\",\"Id=d1\",;\n"
      "\"Type=FileSystem\",\"Id=f1\",;\n"
      "\"Id=vs0\",\"Type=VirtualServer\",\"Id=vs1\",;\n"  // the last Id wins
      "\"Type=System\",\"Id=next\",;\n");
  Held<SrmComputer> c = Bound();
  auto tuple = MakeTuple({"\"Id=h1\"", "\"ResourceCount=3\""});
  EXPECT_EQ(1, c->deserialize(-1, tuple.get()));
  SrmResourceList* children = c->getResourceList();
  EXPECT_EQ(3, children->getResourceCount());
  EXPECT_NE(nullptr, children->findResource(SRM_DISK, "d1"));
  EXPECT_NE(nullptr, children->findResource(SRM_FILESYSTEM, "f1"));
  EXPECT_NE(nullptr, children->findResource(SRM_VIRTUALSERVER, "vs1"));
  EXPECT_EQ("\"Type=System\",\"Id=next\",", NextLeft());  // only the announced ones are read
}

TEST_F(ComputerTest, UnresolvedResourceReferencesAreSkipped) {
  File(SRM_DISK, "d1");
  File(SRM_VOLUMEMANAGER, "vm1");
  File(SRM_COMPUTER, "h2");
  const struct {
    const char* name;
    const char* refs;
    int count;
    int held;  // the references that resolve
  } cases[] = {
      {"unknown id", "\"Type=Disk\",\"Id=d9\",;\n", 1, 0},
      {"computers are found, never added", "\"Type=System\",\"Id=h2\",;\n", 1, 0},
      {"no Type", "\"Id=d1\",;\n", 1, 0},
      {"fewer than announced", "\"Type=Disk\",\"Id=d1\",;\n", 3, 1},
      {"nothing follows", "", 2, 0},
      {"input ends inside a tuple", "\"Type=Disk\",\"Id=d1\",;\n\"Type=Di", 2, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempFile refs;
    ASSERT_TRUE(refs.write(c.refs));
    refs.rewind();
    ASSERT_EQ(1, db_.attachStream(refs.fd()));
    Held<SrmComputer> computer = Bound();
    auto tuple =
        MakeTuple({"\"Id=h1\"", "\"TIM=1\"", "\"ResourceCount=" + std::to_string(c.count) + "\""});
    EXPECT_EQ(1, computer->deserialize(-1, tuple.get()));
    EXPECT_EQ(c.held, computer->getResourceList()->getResourceCount());
    db_.detachStream(refs.fd());
  }
}

TEST_F(ComputerTest, ServiceGroupReferencesFindOrCreateGroups) {
  Held<SrmServiceGroup> g1(new SrmServiceGroup("g1"));
  ASSERT_EQ(1, db_.addServiceGroup(g1.get()));
  Follow(
      "\"Type=ServiceGroup\",\"Id=g1\",;\n"
      "\"Type=ServiceGroup\",\"Id=g2\",;\n");
  Held<SrmComputer> c = Bound();
  auto tuple = MakeTuple({"\"Id=h1\"", "\"SGCount=2\""});
  EXPECT_EQ(1, c->deserialize(-1, tuple.get()));
  SrmServiceGroup* g2 = db_.findServiceGroup("g2");
  ASSERT_NE(nullptr, g2);  // created in the database
  EXPECT_EQ(&db_, g2->getDatabase());
  EXPECT_EQ(2, g2->getRefCount());  // the database's and the computer's
  EXPECT_EQ(3, g1->getRefCount());  // the test's, the database's and the computer's
  ASSERT_EQ(2u, c->getServiceGroups().size());
  EXPECT_EQ(g1.get(), c->getServiceGroups().at("g1"));
  EXPECT_EQ(g2, c->getServiceGroups().at("g2"));
}

TEST_F(ComputerTest, UnresolvedServiceGroupReferencesAreSkipped) {
  const struct {
    const char* name;
    const char* refs;
    int count;
  } cases[] = {
      {"the same group twice", "\"Id=g1\",;\n\"Id=g1\",;\n", 2},
      {"no name", "\"Type=ServiceGroup\",;\n", 1},
      {"fewer than announced", "\"Id=g3\",;\n", 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempFile refs;
    ASSERT_TRUE(refs.write(c.refs));
    refs.rewind();
    ASSERT_EQ(1, db_.attachStream(refs.fd()));
    Held<SrmComputer> computer = Bound();
    auto tuple = MakeTuple({"\"Id=h1\"", "\"SGCount=" + std::to_string(c.count) + "\""});
    EXPECT_EQ(1, computer->deserialize(-1, tuple.get()));
  }
  EXPECT_EQ(nullptr, db_.findServiceGroup(""));
}

TEST_F(ComputerTest, TimMakesAComputerThatReadCompletelyTheDatabasesOwn) {
  Held<SrmComputer> plain = Bound("h0");
  auto no_tim = MakeTuple({"\"Id=h0\""});
  ASSERT_EQ(1, db_.addComputer(plain.get(), 0));
  ASSERT_EQ(1, plain->deserialize(-1, no_tim.get()));

  Held<SrmComputer> failing = Bound();
  auto announces = MakeTuple({"\"Id=h2\"", "\"TIM=1\"", "\"ResourceCount=1\""});
  EXPECT_EQ(0, failing->deserialize(-1, announces.get()));  // no reader attached
  EXPECT_EQ(plain.get(), db_.getThisComputer());  // still the only computer, not the failed one

  Held<SrmComputer> own = Bound();
  auto tim = MakeTuple({"\"Id=h1\"", "\"TIM=7\""});
  ASSERT_EQ(1, own->deserialize(-1, tim.get()));
  EXPECT_EQ(own.get(), db_.getThisComputer());
  EXPECT_EQ(7, own->getTIM());

  // Without a database link, TIM only sets the field.
  Held<SrmComputer> unbound(new SrmComputer());
  ASSERT_EQ(1, unbound->deserialize(-1, tim.get()));
  EXPECT_EQ(own.get(), db_.getThisComputer());
}

TEST_F(ComputerTest, RoundTripThroughTupleText) {
  File(SRM_VOLUMEMANAGER, "vm1");
  Held<SrmVolumeManager> vm(new SrmVolumeManager("vm2"));
  ASSERT_EQ(1, db_.addResource(vm.get()));
  Held<SrmComputer> c = Bound("h1");
  ASSERT_EQ(1, c->addResource(vm.get()));
  c->setCapacity(k4TB);
  c->setLLTId(3);
  Held<SrmServiceGroup> g(new SrmServiceGroup("g1"));
  ASSERT_EQ(1, db_.addServiceGroup(g.get()));
  ASSERT_EQ(1, c->addServiceGroup(g.get()));
  const std::string text = SerializeToText(c.get(), 0);

  // Reading the text back, the volume manager among the children.
  TempFile file;
  ASSERT_TRUE(file.write(text));
  file.rewind();
  ASSERT_EQ(1, db_.attachStream(file.fd()));
  CSRMReportTuple* first = nullptr;
  ASSERT_EQ(0u, db_.getTupleStream()->GetNextTuple(&first));
  std::unique_ptr<CSRMReportTuple> own(first);
  Held<SrmComputer> copy = Bound();
  EXPECT_EQ(1, copy->deserialize(-1, own.get()));
  EXPECT_EQ(text, SerializeToText(copy.get(), 0));
  EXPECT_EQ(k4TB, copy->getCapacityKB());
}

TEST_F(ComputerTest, MergeCopiesSetFieldsOnly) {
  Held<SrmComputer> c = Bound("h1");
  c->setRAMMB(512);
  c->setNodeId(4);
  c->setLLTId(2);
  c->setCapacity(100);
  c->setCPUInfo("old");
  c->setOS("os");
  c->setPubId("p1");
  c->setLId("g1");
  c->setTIM(1);

  Held<SrmComputer> newer(new SrmComputer("h1"));
  newer->setHostName("");
  newer->setCPUInfo("new");
  newer->setSwapMB(64);
  newer->setCapacity(k4TB);
  newer->setAddrSpaceMB(int64_t{1} << 35);
  newer->setLLTId(0);
  newer->setPubId("p2");
  newer->setLId("g2");
  newer->setFlags(44);

  EXPECT_EQ(1, c->mergeResource(newer.get()));
  EXPECT_EQ("h1", c->getHostName());  // an empty text never clears
  EXPECT_EQ("new", c->getCPUInfo());
  EXPECT_EQ("os", c->getOS());
  EXPECT_EQ(512, c->getRAMMB());  // 0 is unset
  EXPECT_EQ(64, c->getSwapMB());
  EXPECT_EQ(4, c->getNodeId());  // -1 is unset
  EXPECT_EQ(0, c->getLLTId());   // 0 is a value here
  EXPECT_EQ(k4TB, c->getCapacityKB());
  EXPECT_EQ(int64_t{1} << 35, c->getAddrSpaceMB());
  EXPECT_EQ(1, c->getTIM());
  EXPECT_EQ("p1", c->getPubId());  // identity never merged
  EXPECT_EQ("g1", c->getLId());
  EXPECT_EQ(12, c->getFlags());  // nor the flags
  EXPECT_EQ(1, newer->isMerged());
  EXPECT_EQ(0, c->isMerged());

  // A merged record merges into nothing again.
  newer->setRAMMB(9);
  EXPECT_EQ(1, c->mergeResource(newer.get()));
  EXPECT_EQ(512, c->getRAMMB());

  Held<SrmVolumeManager> vm(new SrmVolumeManager("h1"));
  EXPECT_EQ(0, c->mergeResource(nullptr));
  EXPECT_EQ(0, c->mergeResource(vm.get()));
  EXPECT_EQ(0, vm->isMerged());
}

TEST_F(ComputerTest, MergeTakesOverChildrenWithTheirDatabaseLink) {
  Held<SrmVolumeManager> vm1(new SrmVolumeManager("vm1"));
  Held<SrmVolumeManager> vm2(new SrmVolumeManager("vm2"));
  ASSERT_EQ(1, db_.addResource(vm1.get()));
  ASSERT_EQ(1, db_.addResource(vm2.get()));
  vm2->setIdType(7);
  Held<SrmComputer> c = Bound("h1");
  ASSERT_EQ(1, c->addResource(vm1.get()));
  Held<SrmComputer> newer(new SrmComputer("h1"));
  Held<SrmVolumeManager> vm1_newer(new SrmVolumeManager("vm1"));
  vm1_newer->setVolumeMgrName("lvm");
  ASSERT_EQ(1, newer->addResource(vm1_newer.get()));
  ASSERT_EQ(1, newer->addResource(vm2.get()));

  EXPECT_EQ(1, c->mergeResource(newer.get()));
  EXPECT_EQ(2, c->getResourceList()->getResourceCount());
  EXPECT_EQ(vm1.get(), c->getResourceList()->findResource(SRM_VOLUMEMANAGER, "vm1"));
  EXPECT_EQ("lvm", vm1->getVolumeMgrName());  // merged into the existing child
  EXPECT_EQ(1, vm1_newer->isMerged());
  EXPECT_EQ(vm2.get(), c->getResourceList()->findResource(SRM_VOLUMEMANAGER, "vm2"));
  EXPECT_EQ(&db_, vm2->getDatabase());  // still writable: the link was kept
  EXPECT_EQ("\"Type=VolumeManager\",\"Id=vm2\",;\n", SerializeToText(vm2.get(), 1));
}

}  // namespace

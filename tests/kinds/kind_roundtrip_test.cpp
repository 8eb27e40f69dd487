// Every record kind, filled with varied values (a 300-byte text, sizes past 32 bits), written
// to a file, cut back into a tuple by the real reader and read into a new record, must write
// the same line again: nothing lost, nothing cut, nothing reordered.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/srm_resource_database.h"
#include "db/srm_service_group.h"
#include "kind_test_util.h"
#include "kinds/kind_factory.h"
#include "kinds/volume_manager.h"

using kindtest::Held;
using kindtest::ReadTuples;
using kindtest::SerializeToText;

namespace {

// 300 bytes of letters, digits, blanks and punctuation that tuple text carries as they are.
std::string LongText() {
  const std::string alphabet =
      "abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ/0123456789-_.:";
  std::string text;
  for (size_t i = 0; text.size() < 300; ++i) text.push_back(alphabet[(i * 7) % alphabet.size()]);
  return text;
}

struct KindCase {
  const char* name;
  SrmResourceType kind;
  std::string line;  // the full tuple exactly as the kind writes it
};

std::vector<KindCase> Cases() {
  const std::string big = LongText();
  return {
      {"Computer", SRM_COMPUTER,
       "\"Type=System\",\"Id=h1\",\"PubId=p1\",\"State=44\",\"LId=gh1\",\"HostName=" + big +
           "\",\"RAMMB=4096\",\"SwapMB=-1\",\"AddrSpaceMB=17592186044416\","
           "\"CapacityKB=3907018584\",\"FreeSpaceKB=2147483648\",\"ProcCount=8\","
           "\"ProcSpeedMHz=2400\",\"CPUInfo=sparcv9 x2\",\"HWInfo=rack 2U\",\"OS=Unix\","
           "\"OSInfo=5.10 Generic\",\"MgmtURL=https://h1:5634/\",\"DisplayMgmtURL=h1 console\","
           "\"HostId=80f1a2b3\",\"IPAddr=192.0.2.1\",\"NodeId=2\",\"LLTId=1\","
           "\"ResourceCount=0\",\"SGCount=0\",\"TIM=0\",;\n"},
      {"Disk", SRM_DISK,
       "\"Type=Disk\",\"Id=d1\",\"PubId=p1\",\"Status=1\",\"State=45\",\"LId=gd1\","
       "\"StatusDesc=online\",\"IdType=2\",\"IdValue=600a0b80\",\"Name=c1t0d0\",\"Model=M1\","
       "\"Make=Mk\",\"Revision=R1\",\"SerialNum=" +
           big +
           "\",\"Sign=305419896\",\"CapacityKB=3907018584\",\"FreeSpaceKB=1024\",\"AWRE=1\","
           "\"AddrBus=2\",\"AddrTarget=3\",\"AddrLUN=4\",\"LLTId=5\",\"DiskType=6\","
           "\"RPM=7200\",\"FactoryDefect=8\",\"GrownDefect=9\",\"Sbc=10\",\"VendorVer=11\",;\n"},
      {"DiskChunk", SRM_DISKCHUNK,
       "\"Type=DiskChunk\",\"Id=c1\",\"PubId=p1\",\"State=44\",\"LId=gc1\",\"DiskChunk=" + big +
           "\",\"Disk=d1\",\"Start=4294967296\",\"Length=3907018584\",;\n"},
      {"Volume", SRM_VOLUME,
       "\"Type=Volume\",\"Id=v1\",\"PubId=p1\",\"LId=gv1\",\"Name=" + big +
           "\",\"State=44\",\"HierType=0\",\"CapacityKB=3907018584\",\"FreeSpaceKB=7\","
           "\"MgmtURL=u\",\"DisplayMgmtURL=du\",\"VolumeType=2\",\"VolumeTypeDesc=mirror\","
           "\"Status=1\",\"StatusDesc=ok\",\"DiskChunkCount=0\",\"SubVolumeCount=0\","
           "\"VolumeManager=3\",;\n"},
      {"VolumeGroup", SRM_VOLUMEGROUP,
       "\"Type=VolumeGroup\",\"Id=g1\",\"PubId=p1\",\"State=44\",\"LId=gg1\","
       "\"CapacityKB=3907018584\",\"FreeSpaceKB=5\",\"Status=1\",\"StatusDesc=ok\",\"Name=" +
           big + "\",\"VolumeManager=3\",\"DiskCount=0\",\"VolumeCount=0\",;\n"},
      {"VolumeManager", SRM_VOLUMEMANAGER,
       "\"Type=VolumeManager\",\"Id=vm2\",\"PubId=p1\",\"IdType=4\",\"VolumeMgrName=" + big +
           "\",\"VolumeMgrVersion=5.0\",;\n"},
      {"FileSystem", SRM_FILESYSTEM,
       "\"Type=FileSystem\",\"Id=f1\",\"Volume=vol1\",\"PubId=p1\",\"State=44\",\"LId=gf1\","
       "\"FSType=" +
           big +
           "\",\"Pack=1\",\"Encrypt=2\",\"FileCnt=3\",\"MaxFileCnt=4\",\"MaxFileSz=5\","
           "\"CapacityKB=3907018584\",\"FreeSpaceKB=4294967295\",\"UsedSpaceKB=6\","
           "\"ReservedSpaceKB=7\",;\n"},
      {"MountPoint", SRM_MOUNTPOINT,
       "\"Type=MountPoint\",\"Id=m1\",\"PubId=p1\",\"State=44\",\"LId=gm1\",\"VolumeId=vol1\","
       "\"MountPointName=/export\",\"MountType=2\",\"MountToSystem=h1\",\"MountOptions=3\","
       "\"MountAtStartup=1\",\"ReadOnly=1\",\"MountLocation=" +
           big + "\",;\n"},
      {"Share", SRM_SHARE,
       "\"Type=Share\",\"Id=s1\",\"PubId=p1\",\"State=36\",\"LId=gs1\",\"ShareName=pub\","
       "\"SharePath=/export/pub\",\"ShareFsType=3\",\"ShareFlags=-1\",\"ShareUser=root\","
       "\"Domain=WORK\",\"ShareDesc=" +
           big + "\",\"VolumeId=gvol1\",;\n"},
      {"VirtualServer", SRM_VIRTUALSERVER,
       "\"Type=VirtualServer\",\"Id=vs1\",\"PubId=p1\",\"State=44\",\"HostName=vhost\","
       "\"IPAddr=192.0.2.7\",\"Name=" +
           big + "\",\"ServiceGroup=sg1\",;\n"},
      {"AliasIdentity", SRM_ALIAS,
       "\"Type=Id\",\"Id=a1\",\"PubId=p1\",\"PrimaryId=" + big +
           "\",\"SecondaryId=s2\",\"IdType=WWN\",;\n"},
  };
}

class KindRoundTripTest : public ::testing::TestWithParam<KindCase> {
 protected:
  void SetUp() override {
    // What the lines refer to: a volume manager numbered 3 and the service group sg1.
    Held<SrmVolumeManager> manager(new SrmVolumeManager("vm1"));
    manager->setIdType(3);
    ASSERT_EQ(1, db_.addResource(manager.get()));
    Held<SrmServiceGroup> group(new SrmServiceGroup("sg1"));
    ASSERT_EQ(1, db_.addServiceGroup(group.get()));
  }

  // A new record of the case's kind, bound to the database, read from the only tuple of text.
  Held<SrmResource> ReadRecord(const std::string& text) {
    bool clean = false;
    auto tuples = ReadTuples(text, &clean);
    EXPECT_TRUE(clean);
    EXPECT_EQ(1u, tuples.size());
    Held<SrmResource> record(SrmNewResource(GetParam().kind));
    EXPECT_NE(nullptr, record);
    if (tuples.size() != 1 || record == nullptr) return nullptr;
    record->setDatabase(&db_);
    EXPECT_EQ(1, record->deserialize(-1, tuples[0].get()));
    return record;
  }

  SrmResourceDatabase db_;
};

TEST_P(KindRoundTripTest, WritesWhatItReadsAndReadsWhatItWrites) {
  const KindCase& c = GetParam();
  Held<SrmResource> first = ReadRecord(c.line);
  ASSERT_NE(nullptr, first);
  EXPECT_EQ(c.kind, first->getType());
  int rc = 0;
  std::string written = SerializeToText(first.get(), 0, &rc);
  EXPECT_EQ(1, rc);
  EXPECT_EQ(c.line, written);

  Held<SrmResource> second = ReadRecord(written);
  ASSERT_NE(nullptr, second);
  EXPECT_EQ(first->getFlags(), second->getFlags());
  EXPECT_EQ(written, SerializeToText(second.get(), 0));
}

INSTANTIATE_TEST_SUITE_P(AllKinds, KindRoundTripTest, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<KindCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace

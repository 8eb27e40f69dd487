#include "kinds/volume_manager.h"

#include <gtest/gtest.h>

#include <string>

#include "db/srm_resource_database.h"
#include "kind_test_util.h"
#include "kinds/alias_identity.h"

using kindtest::Held;
using kindtest::MakeTuple;
using kindtest::ReadTuples;
using kindtest::SerializeToText;

namespace {

class VolumeManagerTest : public ::testing::Test {
 protected:
  Held<SrmVolumeManager> Bound(const std::string& id = "") {
    Held<SrmVolumeManager> vm(id.empty() ? new SrmVolumeManager() : new SrmVolumeManager(id));
    vm->setDatabase(&db_);
    return vm;
  }
  SrmResourceDatabase db_;
};

TEST_F(VolumeManagerTest, StartsEmpty) {
  Held<SrmVolumeManager> vm(new SrmVolumeManager("vm1"));
  EXPECT_EQ(SRM_VOLUMEMANAGER, vm->getType());
  EXPECT_EQ("vm1", vm->getId());
  EXPECT_EQ(12, vm->getFlags());
  EXPECT_EQ(0, vm->getIdType());
  EXPECT_EQ("", Held<SrmVolumeManager>(new SrmVolumeManager())->getId());
}

TEST_F(VolumeManagerTest, WritesNeitherStateNorLId) {
  Held<SrmVolumeManager> vm = Bound("vm1");
  EXPECT_EQ("\"Type=VolumeManager\",\"Id=vm1\",\"IdType=0\",;\n", SerializeToText(vm.get(), 0));
  vm->setPubId("p1");
  vm->setLId("g1");
  vm->setFlags(60);
  vm->setIdType(-3);
  vm->setVolumeMgrName("lvm");
  vm->setVolumeMgrVersion("2.0");
  int rc = 0;
  EXPECT_EQ(
      "\"Type=VolumeManager\",\"Id=vm1\",\"PubId=p1\",\"IdType=-3\",\"VolumeMgrName=lvm\","
      "\"VolumeMgrVersion=2.0\",;\n",
      SerializeToText(vm.get(), 0, &rc));
  EXPECT_EQ(1, rc);
  EXPECT_EQ("\"Type=VolumeManager\",\"Id=vm1\",;\n", SerializeToText(vm.get(), 1));
  EXPECT_EQ("", SerializeToText(Held<SrmVolumeManager>(new SrmVolumeManager("x")).get(), 0, &rc));
  EXPECT_EQ(0, rc);
}

TEST_F(VolumeManagerTest, ReadsItsElements) {
  Held<SrmVolumeManager> vm(new SrmVolumeManager());
  auto tuple =
      MakeTuple({"\"Type=VolumeManager\"", "\"Id=vm1\"", "\"PubId=p\"", "\"LId=g\"", "\"State=32\"",
                 "\"IdType=03\"", "\"VolumeMgrName=lvm\"", "\"VolumeMgrVersion=2\""});
  EXPECT_EQ(1, vm->deserialize(-1, tuple.get()));
  EXPECT_EQ("vm1", vm->getId());
  EXPECT_EQ("p", vm->getPubId());
  EXPECT_EQ("", vm->getLId());
  EXPECT_EQ(44, vm->getFlags());  // ORed into 12
  EXPECT_EQ(3, vm->getIdType());
  EXPECT_EQ("lvm", vm->getVolumeMgrName());
  EXPECT_EQ("2", vm->getVolumeMgrVersion());
  EXPECT_EQ(0, vm->deserialize(-1, nullptr));
}

TEST_F(VolumeManagerTest, ReloadedManagerHasInitialFlags) {
  Held<SrmVolumeManager> vm = Bound("vm1");
  vm->setFlags(4);
  vm->setIdType(2);
  auto lines = ReadTuples(SerializeToText(vm.get(), 0));
  ASSERT_EQ(1u, lines.size());
  Held<SrmVolumeManager> copy(new SrmVolumeManager());
  ASSERT_EQ(1, copy->deserialize(-1, lines[0].get()));
  EXPECT_EQ(12, copy->getFlags());
  EXPECT_EQ(2, copy->getIdType());
}

TEST_F(VolumeManagerTest, MergeCopiesSetFields) {
  Held<SrmVolumeManager> vm(new SrmVolumeManager("vm1"));
  vm->setVolumeMgrName("lvm");
  vm->setVolumeMgrVersion("1");
  vm->setIdType(3);
  Held<SrmVolumeManager> newer(new SrmVolumeManager("vm1"));
  newer->setVolumeMgrVersion("2");
  newer->setFlags(44);
  EXPECT_EQ(1, vm->mergeResource(newer.get()));
  EXPECT_EQ("lvm", vm->getVolumeMgrName());
  EXPECT_EQ("2", vm->getVolumeMgrVersion());
  EXPECT_EQ(3, vm->getIdType());  // 0 is unset
  EXPECT_EQ(12, vm->getFlags());
  EXPECT_EQ(1, newer->isMerged());

  Held<SrmVolumeManager> third(new SrmVolumeManager("vm1"));
  third->setIdType(-1);
  EXPECT_EQ(1, vm->mergeResource(third.get()));
  EXPECT_EQ(-1, vm->getIdType());

  Held<SrmId> other(new SrmId(std::string("vm1")));
  EXPECT_EQ(0, vm->mergeResource(other.get()));
  EXPECT_EQ(0, vm->mergeResource(nullptr));
}

}  // namespace

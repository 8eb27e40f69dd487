#include "kinds/virtual_server.h"

#include <gtest/gtest.h>

#include <string>

#include "db/srm_resource_database.h"
#include "db/srm_service_group.h"
#include "kind_test_util.h"

using kindtest::Held;
using kindtest::MakeTuple;
using kindtest::ReadTuples;
using kindtest::SerializeToText;

namespace {

class VirtualServerTest : public ::testing::Test {
 protected:
  Held<SrmVirtualServer> Bound(const std::string& id = "") {
    Held<SrmVirtualServer> vs(id.empty() ? new SrmVirtualServer() : new SrmVirtualServer(id));
    vs->setDatabase(&db_);
    return vs;
  }
  SrmServiceGroup* FiledGroup(const std::string& name) {
    SrmServiceGroup* g = new SrmServiceGroup(name);
    EXPECT_EQ(1, db_.addServiceGroup(g));
    g->Release();  // the database keeps it
    return g;
  }

  SrmResourceDatabase db_;
};

TEST_F(VirtualServerTest, StartsEmpty) {
  Held<SrmVirtualServer> vs(new SrmVirtualServer("vs1"));
  EXPECT_EQ(SRM_VIRTUALSERVER, vs->getType());
  EXPECT_EQ("vs1", vs->getId());
  EXPECT_EQ(12, vs->getFlags());
  EXPECT_EQ(nullptr, vs->getServiceGroup());
  EXPECT_EQ(0, vs->getPort());
  EXPECT_EQ("", Held<SrmVirtualServer>(new SrmVirtualServer())->getId());
}

TEST_F(VirtualServerTest, WritesNeitherLIdNorPort) {
  Held<SrmVirtualServer> vs = Bound("vs1");
  EXPECT_EQ("\"Type=VirtualServer\",\"Id=vs1\",\"State=12\",;\n", SerializeToText(vs.get(), 0));

  vs->setPubId("p1");
  vs->setLId("g1");
  vs->setPort(8080);
  vs->setHostName("host");
  vs->setIPAddr("10.1.1.1");
  vs->setName("name");
  vs->setServiceGroup(FiledGroup("sg1"));
  int rc = 0;
  EXPECT_EQ(
      "\"Type=VirtualServer\",\"Id=vs1\",\"PubId=p1\",\"State=12\",\"HostName=host\","
      "\"IPAddr=10.1.1.1\",\"Name=name\",\"ServiceGroup=sg1\",;\n",
      SerializeToText(vs.get(), 0, &rc));
  EXPECT_EQ(1, rc);
  EXPECT_EQ("\"Type=VirtualServer\",\"Id=vs1\",;\n", SerializeToText(vs.get(), 1));
  EXPECT_EQ("", SerializeToText(Held<SrmVirtualServer>(new SrmVirtualServer("x")).get(), 0, &rc));
  EXPECT_EQ(0, rc);
}

TEST_F(VirtualServerTest, GroupWithoutNameWritesNoElement) {
  Held<SrmVirtualServer> vs = Bound("vs1");
  Held<SrmServiceGroup> unnamed(new SrmServiceGroup());
  vs->setServiceGroup(unnamed.get());
  EXPECT_EQ("\"Type=VirtualServer\",\"Id=vs1\",\"State=12\",;\n", SerializeToText(vs.get(), 0));
}

TEST_F(VirtualServerTest, HoldsOneReferenceOnItsGroup) {
  Held<SrmServiceGroup> g1(new SrmServiceGroup("g1"));
  Held<SrmServiceGroup> g2(new SrmServiceGroup("g2"));
  {
    Held<SrmVirtualServer> vs(new SrmVirtualServer("vs1"));
    vs->setServiceGroup(g1.get());
    vs->setServiceGroup(g1.get());  // the same group: no second reference
    EXPECT_EQ(2, g1->getRefCount());
    vs->setServiceGroup(nullptr);  // changes nothing
    EXPECT_EQ(g1.get(), vs->getServiceGroup());
    vs->setServiceGroup(g2.get());
    EXPECT_EQ(1, g1->getRefCount());
    EXPECT_EQ(2, g2->getRefCount());
  }
  EXPECT_EQ(1, g2->getRefCount());
}

TEST_F(VirtualServerTest, ReadsItsElements) {
  SrmServiceGroup* sg = FiledGroup("sg1");
  Held<SrmVirtualServer> vs = Bound();
  auto tuple = MakeTuple({"\"Type=Disk\"", "\"Id=vs1\"", "\"PubId=p\"", "\"LId=g\"", "\"State=48\"",
                          "\"HostName=h\"", "\"IPAddr=ip\"", "\"Name=n\"", "\"Port=8080x\"",
                          "\"ServiceGroup=sg1\"", "\"ServiceGroup=none\""});
  EXPECT_EQ(1, vs->deserialize(-1, tuple.get()));
  EXPECT_EQ("vs1", vs->getId());
  EXPECT_EQ("p", vs->getPubId());
  EXPECT_EQ("", vs->getLId());    // never read
  EXPECT_EQ(60, vs->getFlags());  // ORed into 12
  EXPECT_EQ("h", vs->getHostName());
  EXPECT_EQ("ip", vs->getIPAddr());
  EXPECT_EQ("n", vs->getName());
  EXPECT_EQ(8080, vs->getPort());
  EXPECT_EQ(sg, vs->getServiceGroup());  // an unknown name leaves the group as it is
  EXPECT_EQ(0, vs->deserialize(-1, nullptr));

  Held<SrmVirtualServer> unbound(new SrmVirtualServer());
  EXPECT_EQ(1, unbound->deserialize(-1, tuple.get()));
  EXPECT_EQ(nullptr, unbound->getServiceGroup());
}

TEST_F(VirtualServerTest, PortSurvivesMergeButNotTupleText) {
  FiledGroup("sg1");
  Held<SrmVirtualServer> vs = Bound("vs1");
  vs->setHostName("old");
  vs->setName("keep");
  Held<SrmVirtualServer> newer(new SrmVirtualServer("vs1"));
  newer->setHostName("new");
  newer->setIPAddr("ip");
  newer->setPort(8080);
  newer->setServiceGroup(db_.findServiceGroup("sg1"));
  newer->setFlags(44);
  EXPECT_EQ(1, vs->mergeResource(newer.get()));
  EXPECT_EQ("new", vs->getHostName());
  EXPECT_EQ("ip", vs->getIPAddr());
  EXPECT_EQ("keep", vs->getName());
  EXPECT_EQ(8080, vs->getPort());
  EXPECT_EQ(nullptr, vs->getServiceGroup());  // the group is not merged
  EXPECT_EQ(12, vs->getFlags());
  EXPECT_EQ(1, newer->isMerged());
  newer->setName("again");
  EXPECT_EQ(1, vs->mergeResource(newer.get()));
  EXPECT_EQ("keep", vs->getName());
  EXPECT_EQ(0, vs->mergeResource(nullptr));

  auto lines = ReadTuples(SerializeToText(vs.get(), 0));
  ASSERT_EQ(1u, lines.size());
  Held<SrmVirtualServer> reloaded = Bound();
  ASSERT_EQ(1, reloaded->deserialize(-1, lines[0].get()));
  EXPECT_EQ(0, reloaded->getPort());
  EXPECT_EQ("new", reloaded->getHostName());
}

}  // namespace

// The places where a failed allocation once left something wrong, each failed at every
// allocation it makes: a document never comes back with a part missing, a large growth keeps
// its text, a list never keeps a kind without its map, a record never loads with its fields cut
// short, a written line never loses its key, a refused error is freed, a computer that could
// not load never stays this computer, and running out of memory lets go of the record the last
// error named.
#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <new>
#include <string>

#include <gtest/gtest.h>

#include "alloc_fault.h"
#include "cimapi.h"
#include "cimxml/marshall.h"
#include "cimxml/sbuf.h"
#include "database_text.h"
#include "db/srm_resource_database.h"
#include "kinds/computer.h"
#include "kinds/disk.h"
#include "kinds/volume.h"
#include "model/srm_resource_list.h"
#include "model/tuple_line.h"

namespace {

using namespace nmspc_cim;

// Runs step(n) with the allocations from the nth on failing, for n = 0, 1, ... until a run in
// which none failed; check(failed) follows each run, with the switch disarmed.
template <class Step, class Check>
void EveryFailure(Step step, Check check) {
  for (long n = 0;; ++n) {
    SCOPED_TRACE(n);
    bool failed;
    {
      ScopedAllocFault fault(n);
      step();
      failed = AllocDisarm();
    }
    check(failed);
    if (!failed) return;
  }
}

// An instance with a blank key, whose "0" the marshaller allocates, and a plain property.
TEST(AllocFailureTest, EveryFailedAllocationFailsTheDocument) {
  std::unique_ptr<CCIMList, void (*)(CCIMList*)> list(cim_createInstanceList(),
                                                      cim_freeInstanceList);
  CCIMInstance* instance = cim_createInstance("Alias");
  cim_addProperty(instance, cim_createProperty("Id", CIM_STRING, "", nullptr, CIM_TRUE));
  cim_addProperty(instance, cim_createProperty("Name", CIM_STRING, "a", nullptr, CIM_FALSE));
  list.reset(cim_addInstance(list.release(), instance));
  std::unique_ptr<sbuf, SbufDeleter> buffer(sbufCreate(1));  // grows on the first line
  int result = 0;
  EveryFailure([&] { result = marshallInstanceList(buffer.get(), list.get(), 0); },
               [&](bool failed) {
                 EXPECT_EQ(failed ? -1 : 0, result);
                 EXPECT_TRUE(failed || strstr(buffer->data, "<VALUE>0</VALUE>") != nullptr);
                 buffer.reset(sbufCreate(1));
                 // The key's value is "0" now: blank it again for the next run.
                 static_cast<CCIMProperty*>(instance->properties->data)->value[0] = '\0';
               });
}

TEST(AllocFailureTest, FailedLargeGrowthKeepsTheText) {
  std::unique_ptr<sbuf, SbufDeleter> buffer(sbufCreate(8u << 20));
  const std::string text((8u << 20) - 1, 'x');
  ASSERT_EQ(buffer.get(), sbufAppendN(buffer.get(), text.data(), text.size()));
  {
    ScopedAllocFault fault(0);
    EXPECT_EQ(nullptr, sbufAppendN(buffer.get(), "y", 1));
    EXPECT_TRUE(AllocFailedYet());
  }
  EXPECT_EQ(8u << 20, sbufGetCapacity(buffer.get()));
  EXPECT_EQ(text, sbufGetString(buffer.get()));
  EXPECT_EQ(1, sbufHadTrouble(buffer.get()));
}

TEST(AllocFailureTest, ListsRecordsAndLines) {
  SrmHeld<SrmDisk> disk(new SrmDisk(std::string("d1")));
  std::unique_ptr<SrmResourceList> list(new SrmResourceList);
  int added = 0;
  EveryFailure([&] { added = list->addResource(disk.get()); },
               [&](bool failed) {
                 EXPECT_EQ(failed ? 0 : 1, added);
                 EXPECT_EQ(failed ? nullptr : list->getSrmResourceIdMap(SRM_DISK),
                           list->getSrmResourceIdMap(SRM_DISK));
                 EXPECT_EQ(failed ? 1 : 2, disk->getRefCount());
                 EXPECT_EQ(1, list->addResource(disk.get()));  // and the list still works
                 list.reset(new SrmResourceList);
               });

  CSRMReportTuple tuple;
  for (const char* element : {"\"Type=Disk\"", "\"Id=d1\"", "\"Name=a-name-too-long-for-sso\"",
                              "\"LId=a-global-id-too-long-for-sso\"", "\"Sign=7\""}) {
    tuple.addElement(std::string(element));
  }
  SrmHeld<SrmDisk> read(new SrmDisk());
  int result = -1;
  EveryFailure(
      [&] {
        try {
          result = read->deserialize(-1, &tuple);
        } catch (const std::bad_alloc&) {
          result = -1;
        }
      },
      [&](bool failed) {
        // The whole record, or a failure: never a record missing its later fields.
        const bool whole = read->getLId() == "a-global-id-too-long-for-sso" && read->getSign() == 7;
        EXPECT_TRUE(failed ? result <= 0 || whole : result == 1 && whole);
        read.reset(new SrmDisk());
      });

  std::string buffer;
  EveryFailure(
      [&] {
        try {
          SrmTupleLine line(&buffer);
          line.addTextAlways(kKeySrmResourceDbVersion, "1.0");
        } catch (const std::bad_alloc&) {
          buffer = "threw";
        }
      },
      [&](bool) { EXPECT_TRUE(buffer == "threw" || buffer == "\"SrmResourceDbVersion=1.0\","); });

  // An error the list could not file is freed.
  int filed = -1;
  long leaked = 0;
  EveryFailure(
      [&] {
        ScopedLiveBlocks live;
        std::unique_ptr<SrmResourceDatabase> db;
        {
          ScopedAllocPause pause;
          db.reset(new SrmResourceDatabase);
        }
        try {
          filed = db->addError("owner", "text", 1, 2);
        } catch (const std::bad_alloc&) {
          filed = 0;
        }
        db.reset();
        leaked = live.count();
      },
      [&](bool failed) {
        EXPECT_TRUE(failed || filed == 1);
        EXPECT_EQ(0, leaked);
      });

  // A computer is filed in both lists or in neither, whatever allocation fails.
  SrmHeld<SrmComputer> computer(new SrmComputer("h1"));
  auto hosts = std::make_unique<SrmResourceDatabase>();
  EveryFailure(
      [&] {
        try {
          hosts->addComputer(computer.get(), 1);
        } catch (const std::bad_alloc&) {
        }
      },
      [&](bool) {
        EXPECT_EQ(hosts->findResource(SRM_COMPUTER, "h1") != nullptr,
                  hosts->getComputerList()->findResource(SRM_COMPUTER, "h1") != nullptr);
        hosts = std::make_unique<SrmResourceDatabase>();
      });

  // A computer whose load runs out of memory does not stay this computer.
  auto loading = std::make_unique<SrmResourceDatabase>();
  const std::string host =
      "\"ResourceCount=1\",;\n\"Type=System\",\"Id=h1\",\"HostName=" + std::string(40, 'h') +
      "\",;\n";
  EveryFailure(
      [&] { LoadText(loading.get(), host); },
      [&](bool) {
        SrmResource* current = loading->getCurrentComputer();
        EXPECT_TRUE(current == nullptr || current == loading->findResource(SRM_COMPUTER, "h1"));
        loading = std::make_unique<SrmResourceDatabase>();
      });

  // Running out of memory fails the writing (a volume's walk takes room), and drops the record
  // the last error named, and its reference with it.
  const int null_fd = open("/dev/null", O_WRONLY);
  {
    SrmResourceDatabase warm;  // the volume kind's field table is made once and kept
    SrmHeld<SrmVolume> volume(new SrmVolume(std::string("v0")));
    warm.addResource(volume.get());
    warm.serialize(null_fd, 0);
  }
  for (long n = 0;; ++n) {
    SCOPED_TRACE(n);
    ScopedLiveBlocks live;
    bool failed;
    {
      SrmResourceDatabase db;
      auto* named = new SrmDisk(std::string("d1"));
      db.setErrorInfo(22, "m", named);
      named->Release();
      SrmHeld<SrmVolume> volume(new SrmVolume(std::string("v1")));
      db.addResource(volume.get());
      AllocFailAfter(n);
      const int written = db.serialize(null_fd, 0);
      failed = AllocDisarm();
      EXPECT_EQ(failed ? 0 : 1, written);
      int code = 0;
      std::string message;
      db.getLastErrorInfo(&code, &message, nullptr);
      EXPECT_TRUE(code != 12 || message != "m") << "an out-of-memory code with a stale message";
    }
    EXPECT_EQ(0, live.count());
    if (!failed) break;
  }
  close(null_fd);
}

}  // namespace

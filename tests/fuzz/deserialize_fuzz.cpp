// Loading a whole serialized database from arbitrary text, then resolving and writing it, twice
// over: no crash, no leak, no undefined behaviour, no hang.
#include <cstdint>
#include <string>

#include "db/srm_resource_database.h"
#include "fuzz_support.h"

namespace {

// Serializes db; *text is what it wrote, the result serialize's.
int Write(SrmResourceDatabase* db, std::string* text) {
  FuzzMemFile out;
  int result = db->serialize(out.fd(), 0);
  *text = out.contents();
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FuzzQuietProcess();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  // Load, resolve and write; then load what was written into a new database and write it
  // again. Values are written unescaped, so a value holding a quote or a comma does not come
  // back as it went out: the second round is run for what it does, not compared.
  for (int round = 0; round < 2; ++round) {
    FuzzMemFile input(text);
    SrmResourceDatabase db;
    db.deserialize(input.fd(), nullptr);
    db.resolveDatabase();
    if (Write(&db, &text) != 1) break;
  }
  return 0;
}

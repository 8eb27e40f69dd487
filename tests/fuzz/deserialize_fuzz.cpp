// Loading a whole serialized database from arbitrary text, then resolving and writing it.
// A database that wrote itself out whole must load back from that text, and (once loading has
// settled its flags) write the same text again.
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
  {
    // Whatever loads, resolves and writes without trouble.
    FuzzMemFile input(text);
    SrmResourceDatabase db;
    db.deserialize(input.fd(), nullptr);
    db.resolveDatabase();
    if (Write(&db, &text) != 1) return 0;
  }
  // Loading settles the flags some kinds merge from State: from the second writing on, a
  // database loads back from its own text and writes that text again.
  std::string writings[2];
  for (std::string& writing : writings) {
    FuzzMemFile input(text);
    SrmResourceDatabase db;
    FUZZ_CHECK(db.deserialize(input.fd(), nullptr) == 1);
    FUZZ_CHECK(Write(&db, &writing) == 1);
    text = writing;
  }
  const std::string& first = writings[0];
  const std::string& second = writings[1];
  if (second != first) {
    // Show where the two writings part before stopping.
    size_t at = 0;
    while (at < first.size() && at < second.size() && first[at] == second[at]) ++at;
    size_t line = first.rfind('\n', at == 0 ? 0 : at - 1);
    line = line == std::string::npos ? 0 : line + 1;
    std::fprintf(stderr, "first:  %s\nsecond: %s\n", first.substr(line, 300).c_str(),
                 second.substr(line, 300).c_str());
  }
  FUZZ_CHECK(second == first);
  return 0;
}

// resdb_replay DIR [SERIALIZED [REPORT]]: one whole scan through the native methods, as the
// agent runs it: create, the add methods over DIR's tuple files in replay order (a missing file
// is skipped), resolveDatabase, serialize (to SERIALIZED, default /dev/null), print (the report
// to REPORT, default /dev/null), destroy. Prints each step's result and exits non-zero when an
// add method fails or print answers an error text. Files are read one at a time, so the
// process holds one batch of input at once, as the agent does.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "inventory_generator.h"
#include "native_session.h"

namespace {

// Reads the file straight into text, sized once (a stream copied through a string stream
// would hold it twice over).
bool ReadFile(const std::string& path, std::string* text) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return false;
  const std::streamoff size = in.tellg();
  if (size < 0) return false;
  text->resize(static_cast<size_t>(size));
  in.seekg(0);
  in.read(&(*text)[0], size);
  return static_cast<bool>(in);
}

bool WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.close();
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 4) {
    std::fprintf(stderr, "usage: %s DIR [SERIALIZED [REPORT]]\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  const std::string serialized = argc > 2 ? argv[2] : "/dev/null";
  const std::string report = argc > 3 ? argv[3] : "/dev/null";
  int status = 0;
  size_t input_bytes = 0;
  {
    NativeSession session;
    for (const std::string& method : ScanMethods()) {
      std::string text;
      if (!ReadFile(dir + "/" + method + ".txt", &text)) continue;
      input_bytes += text.size();
      const std::string result = session.add(method, text);
      std::printf("%s: %s\n", method.c_str(), result.c_str());
      if (result != "The operation succeeded.") status = 1;
    }
    std::printf("resolveDatabase: %d\n", session.resolveDatabase());

    const int fd = open(serialized.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) {
      std::perror(serialized.c_str());
      return 1;
    }
    std::printf("serialize: %d\n", session.serialize(fd));
    close(fd);

    const std::string xml = session.print();
    if (IsPrintError(xml)) {
      std::printf("print: %s\n", xml.c_str());
      status = 1;
    } else {
      std::printf("print: %zu bytes of CIM-XML\n", xml.size());
      if (!WriteFile(report, xml)) {
        std::perror(report.c_str());
        status = 1;
      }
    }
  }
  std::printf("input: %zu bytes\n", input_bytes);
  return status;
}

#include "jni/print_report.h"

#include <cstdint>
#include <cstring>
#include <memory>
#ifdef __GLIBC__
#include <malloc.h>  // malloc_trim
#endif
#ifdef __SSE2__
#include <emmintrin.h>  // 16 bytes tested at once for a byte 0x80 or above
#endif

#include "cimapi.h"
#include "cimxml/marshall.h"
#include "cimxml/sbuf.h"
#include "report/qdx_report.h"

namespace {

// The owners of what one report allocates; each releases its part when the report ends,
// whichever way it ends.
struct ListDeleter {
  void operator()(nmspc_cim::CCIMList* l) const { nmspc_cim::cim_freeInstanceList(l); }
};

const char* ErrorText(int code) {
  switch (code) {
    case 1:
      return "ERROR 1";
    case 2:
      return "ERROR 2";
    case 3:
      return "ERROR 3";
    default:
      return "ERROR 4";
  }
}

// The length (1 to 3) of the modified UTF-8 sequence at s, or 0 when s does not start one.
// Modified UTF-8 has no NUL byte (the text ends there) and no four-byte form.
int ModifiedUtf8Length(const unsigned char* s) {
  auto continuation = [](unsigned char c) { return (c & 0xC0) == 0x80; };
  if (s[0] < 0x80) return 1;
  if (s[0] >= 0xC2 && s[0] <= 0xDF) return continuation(s[1]) ? 2 : 0;
  if (s[0] == 0xC0) return s[1] == 0x80 ? 2 : 0;  // the two-byte form of U+0000
  if ((s[0] & 0xF0) == 0xE0) {
    if (!continuation(s[1]) || !continuation(s[2])) return 0;
    return (s[0] == 0xE0 && s[1] < 0xA0) ? 0 : 3;  // overlong
  }
  return 0;
}

// True when the length bytes at s, which hold no NUL and are followed by one, are modified
// UTF-8. Runs of bytes below 0x80 are passed 64 (where the processor tests 16 at once), then
// eight at a time.
bool IsModifiedUtf8Span(const unsigned char* s, size_t length) {
  size_t at = 0;
  while (at < length) {
#ifdef __SSE2__
    while (at + 64 <= length) {
      const auto* v = reinterpret_cast<const __m128i*>(s + at);
      __m128i any = _mm_or_si128(_mm_or_si128(_mm_loadu_si128(v), _mm_loadu_si128(v + 1)),
                                 _mm_or_si128(_mm_loadu_si128(v + 2), _mm_loadu_si128(v + 3)));
      if (_mm_movemask_epi8(any) != 0) break;
      at += 64;
    }
#endif
    while (at + 8 <= length) {
      uint64_t word;
      memcpy(&word, s + at, sizeof(word));
      if ((word & 0x8080808080808080ULL) != 0) break;
      at += 8;
    }
    if (at >= length) break;
    if (s[at] < 0x80) {
      ++at;
      continue;
    }
    int sequence = ModifiedUtf8Length(s + at);  // stops at the NUL that follows the span
    if (sequence == 0) return false;
    at += static_cast<size_t>(sequence);
  }
  return true;
}

}  // namespace

bool IsModifiedUtf8(const char* text) {
  return IsModifiedUtf8Span(reinterpret_cast<const unsigned char*>(text), strlen(text));
}

ReportText buildReport(SrmResourceDatabase* db) {
  try {
    std::unique_ptr<QDX_Report> report(new QDX_Report());
    std::unique_ptr<sbuf, SbufDeleter> buffer(sbufCreate(8192));
    if (buffer == nullptr) return ReportText("ERROR UNEXPECTED");
    std::unique_ptr<nmspc_cim::CCIMList, ListDeleter> list;

    int code = 0;
    if (report->GenerateCIMReports(db, "host") == 0) {
      code = 2;
    } else if (list.reset(report->GetReport()), list == nullptr) {
      code = 1;
    } else if (marshallInstanceList(buffer.get(), list.get(), 0) != 0) {
      code = 3;
    }
    if (code != 0) return ReportText(ErrorText(code));
    // The instances and the converter are no longer needed: let them go before the virtual
    // machine makes its string, so that a large report is not held twice over.
    list.reset();
    report.reset();
#ifdef __GLIBC__
    // Their many small blocks stay resident in the heap once freed; hand the pages back.
    malloc_trim(0);
#endif
    const char* text = sbufGetString(buffer.get());
    if (text == nullptr) return ReportText("ERROR UNEXPECTED");
    // The marshaller writes only modified UTF-8; text that is not would make the virtual
    // machine read past what it may, so it counts as a marshalling failure.
    // The text ends at its first NUL, which the marshaller never writes inside it.
    const void* nul = memchr(text, '\0', static_cast<size_t>(sbufGetSize(buffer.get())) + 1);
    size_t length = static_cast<size_t>(static_cast<const char*>(nul) - text);
    if (!IsModifiedUtf8Span(reinterpret_cast<const unsigned char*>(text), length)) {
      return ReportText(ErrorText(3));
    }
    return ReportText(buffer.release(), length);
  } catch (...) {
    return ReportText("ERROR UNEXPECTED");
  }
}

std::string printReport(SrmResourceDatabase* db) {
  try {
    ReportText text = buildReport(db);
    return std::string(text.c_str(), text.length());
  } catch (...) {
    return "ERROR UNEXPECTED";
  }
}

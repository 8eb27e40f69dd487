// Tests of the CIM-XML marshaller: the exact text of every element kind, escaping and the
// treatment of bytes 0x80 and above, arrays, nested references, blank keys, long lines, the
// response documents and null arguments.
#include "cimxml/marshall.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "marshall_test_util.h"

namespace {

using namespace marshall_test;

// The text marshallProperty writes for one property at level 0.
std::string PropertyText(CCIMProperty* p) {
  Buffer b = NewBuffer();
  EXPECT_EQ(marshallProperty(b.get(), p, 0), 0);
  return Text(b);
}

// The VALUE line a string property with the given value writes, without its line end.
std::string ValueLine(const std::string& value) {
  Property p(cim_createProperty("P", CIM_STRING, value.c_str(), nullptr, CIM_FALSE));
  std::string text = PropertyText(p.get());
  size_t begin = text.find("\r\n") + 2;
  return text.substr(begin + 2, text.find("\r\n", begin) - begin - 2);
}

TEST(MarshallTest, InstanceWithKeyAndReferenceProperty) {
  Instance y(cim_createInstance("Y"));
  Add(y.get(), "K", CIM_STRING, "w", true);
  List list(cim_createInstanceList());
  CCIMInstance* x = cim_createInstance("X");
  Add(x, "K", CIM_STRING, "v", true);
  AddReference(x, "R", y.get(), false, "a/b");
  Append(&list, x);

  Buffer b = NewBuffer();
  ASSERT_EQ(marshallInstanceList(b.get(), list.get(), 0), 0);
  EXPECT_EQ(Text(b), Lines({{0, "<VALUE.OBJECT>"},
                            {1, "<INSTANCE CLASSNAME=\"X\">"},
                            {2, "<PROPERTY NAME=\"K\" TYPE=\"string\">"},
                            {3, "<QUALIFIER NAME=\"Key\" TYPE=\"boolean\">"},
                            {4, "<VALUE>true</VALUE>"},
                            {3, "</QUALIFIER>"},
                            {3, "<VALUE>v</VALUE>"},
                            {2, "</PROPERTY>"},
                            {2, "<PROPERTY.REFERENCE NAME=\"R\">"},
                            {3, "<VALUE.REFERENCE>"},
                            {4, "<INSTANCEPATH>"},
                            {5, "<NAMESPACEPATH>"},
                            {6, "<HOST>" + HostName() + "</HOST>"},
                            {6, "<LOCALNAMESPACEPATH>"},
                            {7, "<NAMESPACE NAME=\"a\"/>"},
                            {7, "<NAMESPACE NAME=\"b\"/>"},
                            {6, "</LOCALNAMESPACEPATH>"},
                            {5, "</NAMESPACEPATH>"},
                            {5, "<INSTANCENAME CLASSNAME=\"Y\">"},
                            {6, "<KEYBINDING NAME=\"K\">"},
                            {7, "<KEYVALUE>w</KEYVALUE>"},
                            {6, "</KEYBINDING>"},
                            {5, "</INSTANCENAME>"},
                            {4, "</INSTANCEPATH>"},
                            {3, "</VALUE.REFERENCE>"},
                            {2, "</PROPERTY.REFERENCE>"},
                            {1, "</INSTANCE>"},
                            {0, "</VALUE.OBJECT>"}}));
}

TEST(MarshallTest, ScalarPropertiesNameTheirType) {
  struct Case {
    int type;
    const char* typeName;
  } cases[] = {{0, "uint8"},     {1, "sint8"},   {2, "uint16"},   {3, "sint16"},
               {4, "uint32"},    {5, "sint32"},  {6, "uint64"},   {7, "sint64"},
               {8, "string"},    {9, "boolean"}, {10, "real32"},  {11, "real64"},
               {12, "datetime"}, {13, "char16"}, {30, "unknown"}, {-1, "unknown"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typeName);
    Property p(cim_createProperty("P", CIM_STRING, "7", nullptr, CIM_FALSE));
    p->type = static_cast<CIMType>(c.type);
    EXPECT_EQ(PropertyText(p.get()),
              Lines({{0, std::string("<PROPERTY NAME=\"P\" TYPE=\"") + c.typeName + "\">"},
                     {1, "<VALUE>7</VALUE>"},
                     {0, "</PROPERTY>"}}));
  }
}

TEST(MarshallTest, ValuesAndMissingValues) {
  // A non-key property without a value has no VALUE line.
  Property none(cim_createProperty("P", CIM_STRING, nullptr, nullptr, CIM_FALSE));
  EXPECT_EQ(PropertyText(none.get()),
            Lines({{0, "<PROPERTY NAME=\"P\" TYPE=\"string\">"}, {0, "</PROPERTY>"}}));
  // A non-key blank value is written as it is.
  Property blank(cim_createProperty("P", CIM_STRING, " ", nullptr, CIM_FALSE));
  EXPECT_EQ(PropertyText(blank.get()), Lines({{0, "<PROPERTY NAME=\"P\" TYPE=\"string\">"},
                                              {1, "<VALUE> </VALUE>"},
                                              {0, "</PROPERTY>"}}));
  EXPECT_STREQ(blank->value, " ");
}

TEST(MarshallTest, BlankKeyValuesBecomeZero) {
  const char* blanks[] = {nullptr, "", "  ", "\t\r\n\v\f"};
  for (const char* value : blanks) {
    Property key(cim_createProperty("K", CIM_UINT32, value, nullptr, CIM_TRUE));
    EXPECT_EQ(PropertyText(key.get()), Lines({{0, "<PROPERTY NAME=\"K\" TYPE=\"uint32\">"},
                                              {1, "<QUALIFIER NAME=\"Key\" TYPE=\"boolean\">"},
                                              {2, "<VALUE>true</VALUE>"},
                                              {1, "</QUALIFIER>"},
                                              {1, "<VALUE>0</VALUE>"},
                                              {0, "</PROPERTY>"}}));
    EXPECT_STREQ(key->value, "0");  // the record keeps the replacement
  }
}

TEST(MarshallTest, CharacterDataIsEscaped) {
  struct Case {
    const char* value;
    const char* written;
  } cases[] = {
      {"a<b & \"c\" 'd'", "a&lt;b &amp; &quot;c&quot; &apos;d&apos;"},
      {"x>y", "x&gt;y"},
      // control bytes and DEL are dropped without touching their neighbours
      {"a\tb\nc\rd", "abcd"},
      {"\x01"
       "a\x1f"
       "b\x7f",
       "ab"},
      {"&\x01&", "&amp;&amp;"},
      // well-formed UTF-8 of two and three bytes stays as it is
      {"M\xc3\xbcller", "M\xc3\xbcller"},
      {"\xe2\x82\xac 5", "\xe2\x82\xac 5"},
      {"\xc2\x85", "\xc2\x85"},
      {"\xef\xbf\xbd", "\xef\xbf\xbd"},
      // four-byte sequences have no modified UTF-8 form: character references
      {"a\xf0\x9f\x98\x80"
       "b",
       "a&#x1F600;b"},
      {"\xf4\x8f\xbf\xbf", "&#x10FFFF;"},
      // other bytes 0x80 and above are the Latin-1 characters of those bytes
      {"caf\xe9", "caf&#xE9;"},
      {"\xe9t\xe9<", "&#xE9;t&#xE9;&lt;"},
      {"\x80\xbf", "&#x80;&#xBF;"},
      {"\xc0\xaf", "&#xC0;&#xAF;"},                      // overlong
      {"\xe0\x80\xaf", "&#xE0;&#x80;&#xAF;"},            // overlong
      {"\xed\xa0\x80", "&#xED;&#xA0;&#x80;"},            // surrogate
      {"\xef\xbf\xbe", "&#xEF;&#xBF;&#xBE;"},            // U+FFFE is no XML character
      {"\xf4\x90\x80\x80", "&#xF4;&#x90;&#x80;&#x80;"},  // above U+10FFFF
      {"\xf5\xff\xfe", "&#xF5;&#xFF;&#xFE;"},
      {"ab\xe2\x82", "ab&#xE2;&#x82;"},  // cut at the end
      {"\xe2\x82x\xc3", "&#xE2;&#x82;x&#xC3;"},
      {"\xc3\xc3\xa9", "&#xC3;\xc3\xa9"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(ValueLine(c.value), std::string("<VALUE>") + c.written + "</VALUE>");
  }
}

// True when text is valid modified UTF-8 without NUL bytes: sequences of one to three bytes,
// none overlong, no surrogates. Written apart from the marshaller's own reading of UTF-8.
bool IsModifiedUtf8(const std::string& text) {
  size_t i = 0;
  while (i < text.size()) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    int more = c == 0 ? -1 : c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : -1;
    if (more < 0 || i + more >= text.size() + (more == 0 ? 1 : 0)) return false;
    uint32_t cp = more == 0 ? c : more == 1 ? (c & 0x1F) : (c & 0x0F);
    for (int k = 1; k <= more; ++k) {
      unsigned char d = static_cast<unsigned char>(text[i + k]);
      if ((d & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (d & 0x3F);
    }
    if ((more == 1 && cp < 0x80) || (more == 2 && cp < 0x800)) return false;
    if (cp >= 0xD800 && cp <= 0xDFFF) return false;
    i += static_cast<size_t>(more) + 1;
  }
  return true;
}

TEST(MarshallTest, EveryByteSequenceGivesModifiedUtf8) {
  // Every pair of bytes, and every byte between fixed neighbours, in a value and a class name.
  for (int first = 1; first < 256; ++first) {
    for (int second = 1; second < 256; ++second) {
      std::string value = {static_cast<char>(first), static_cast<char>(second)};
      std::string line = ValueLine(value);
      ASSERT_TRUE(IsModifiedUtf8(line)) << first << " " << second;
    }
    std::string name = std::string("C") + static_cast<char>(first) + "\xf0\x9f\x98";
    Instance instance(cim_createInstance(name.c_str()));
    Buffer b = NewBuffer();
    ASSERT_EQ(marshallInstance(b.get(), instance.get(), 0), 0);
    ASSERT_TRUE(IsModifiedUtf8(Text(b))) << first;
  }
}

TEST(MarshallTest, NamesAreWrittenAsTheyAre) {
  Instance instance(cim_createInstance("A&B<\"C\""));
  Add(instance.get(), "N&me", CIM_STRING, "&");
  Buffer b = NewBuffer();
  ASSERT_EQ(marshallInstance(b.get(), instance.get(), 1), 0);
  EXPECT_EQ(Text(b), Lines({{1, "<INSTANCE CLASSNAME=\"A&B<\"C\"\">"},
                            {2, "<PROPERTY NAME=\"N&me\" TYPE=\"string\">"},
                            {3, "<VALUE>&amp;</VALUE>"},
                            {2, "</PROPERTY>"},
                            {1, "</INSTANCE>"}}));
  // Only bytes that are not UTF-8 change in a name.
  Instance latin(cim_createInstance("Gr\xfc\xc3\xa9"));
  Buffer c = NewBuffer();
  ASSERT_EQ(marshallInstance(c.get(), latin.get(), 0), 0);
  EXPECT_EQ(Text(c), Lines({{0, "<INSTANCE CLASSNAME=\"Gr&#xFC;\xc3\xa9\">"}, {0, "</INSTANCE>"}}));
}

TEST(MarshallTest, AByteNotUtf8IsFoundAtAnyPlaceOfALine) {
  // Lines are checked a word at a time; the byte may sit anywhere, the line end included.
  for (size_t length = 1; length <= 40; ++length) {
    for (size_t at = 0; at < length; ++at) {
      std::string name(length, 'n');
      name[at] = '\xfc';
      std::string written = name.substr(0, at) + "&#xFC;" + name.substr(at + 1);
      Instance instance(cim_createInstance(name.c_str()));
      Buffer b = NewBuffer();
      ASSERT_EQ(marshallInstance(b.get(), instance.get(), 0), 0);
      ASSERT_EQ(Text(b),
                Lines({{0, "<INSTANCE CLASSNAME=\"" + written + "\">"}, {0, "</INSTANCE>"}}))
          << length << " " << at;
    }
  }
}

TEST(MarshallTest, ArraysAreWrittenThroughTheDecoders) {
  struct Case {
    int type;
    const char* typeName;
    const char* value;
    std::vector<std::string> values;
  } cases[] = {
      {14, "uint8", "0,255,", {"0", "255"}},
      {15, "sint8", "-128,127", {"-128", "127"}},
      {16, "uint16", "65535", {"65535"}},
      {17, "sint16", "-32768", {"-32768"}},
      {18, "uint32", "4294967295", {"4294967295"}},
      {19, "sint32", "-2147483648,7", {"-2147483648", "7"}},
      {20, "uint64", "4294967296,18446744073709551615", {"4294967296", "18446744073709551615"}},
      {21, "sint64", "-9223372036854775808", {"-9223372036854775808"}},
      {22, "string", "a\\,b,<x>,,", {"a,b", "&lt;x&gt;", ""}},
      {23, "boolean", "true,0,1,FALSE", {"true", "false", "true", "false"}},
      {24, "real32", "2.5,-1e3", {"2.500000", "-1000.000000"}},
      {25, "real64", "0.1", {"0.100000"}},
      {26, "datetime", "20230101", {"20230101"}},
      {27, "char16", "65,", {"65"}},
      // an empty text writes the frame alone; unreadable and missing texts a NULL array
      {14, "uint8", "", {}},
      {14, "uint8", "256", {"NULL"}},
      {20, "uint64", "x", {"NULL"}},
      {22, "string", nullptr, {"NULL"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.typeName) + " " + (c.value != nullptr ? c.value : "(null)"));
    Property p(cim_createProperty("A", static_cast<CIMType>(c.type), c.value, nullptr, CIM_FALSE));
    std::vector<std::pair<int, std::string>> lines = {
        {0, std::string("<PROPERTY.ARRAY NAME=\"A\" TYPE=\"") + c.typeName + "\">"}};
    if (c.values != std::vector<std::string>{"NULL"}) {
      lines.push_back({1, "<VALUE.ARRAY>"});
      for (const std::string& v : c.values) lines.push_back({2, "<VALUE>" + v + "</VALUE>"});
      lines.push_back({1, "</VALUE.ARRAY>"});
    }
    lines.push_back({0, "</PROPERTY.ARRAY>"});
    EXPECT_EQ(PropertyText(p.get()), Lines(lines));
  }
}

TEST(MarshallTest, KeyArrayCarriesTheQualifier) {
  const char* items[] = {"x"};
  char* encoded = cim_encodeStringArray(items, 1);
  Property p(cim_createProperty("A", CIM_STRING_ARRAY, encoded, nullptr, CIM_TRUE));
  free(encoded);
  EXPECT_EQ(PropertyText(p.get()), Lines({{0, "<PROPERTY.ARRAY NAME=\"A\" TYPE=\"string\">"},
                                          {1, "<QUALIFIER NAME=\"Key\" TYPE=\"boolean\">"},
                                          {2, "<VALUE>true</VALUE>"},
                                          {1, "</QUALIFIER>"},
                                          {1, "<VALUE.ARRAY>"},
                                          {2, "<VALUE>x</VALUE>"},
                                          {1, "</VALUE.ARRAY>"},
                                          {0, "</PROPERTY.ARRAY>"}}));
}

TEST(MarshallTest, HugeRealIsWrittenWhole) {
  // 1e300 in fixed notation: 301 digits, the point and six decimals, far beyond a small area.
  Property p(cim_createProperty("A", CIM_REAL64_ARRAY, "1e300", nullptr, CIM_FALSE));
  std::string text = PropertyText(p.get());
  size_t begin = text.find("<VALUE>") + 7;
  std::string value = text.substr(begin, text.find("</VALUE>") - begin);
  ASSERT_EQ(value.size(), 308u) << value;
  EXPECT_EQ(value.find_first_not_of("0123456789"), 301u);
  EXPECT_EQ(value.substr(301), ".000000");
  EXPECT_EQ(value[0], '1');
}

TEST(MarshallTest, NestedReferencesAndBlankKeyBindings) {
  // C is named by a key that is blank; B is an association whose key refers to C; A refers to
  // B, so A's key bindings hold a reference inside a reference.
  Instance c(cim_createInstance("C"));
  Add(c.get(), "Name", CIM_STRING, "  ", true);
  Instance bAssoc(cim_createInstance("B"));
  AddReference(bAssoc.get(), "Part", c.get(), true);
  Add(bAssoc.get(), "Slot", CIM_UINT16, "3", true);
  Instance a(cim_createInstance("A"));
  AddReference(a.get(), "Ref", bAssoc.get(), false, "root");

  Buffer b = NewBuffer();
  CCIMProperty* ref = Find(a.get(), "Ref");
  ASSERT_EQ(marshallPropertyInstancePath(b.get(), ref, 0), 0);
  std::string host = "<HOST>" + HostName() + "</HOST>";
  EXPECT_EQ(Text(b), Lines({{0, "<INSTANCEPATH>"},
                            {1, "<NAMESPACEPATH>"},
                            {2, host},
                            {2, "<LOCALNAMESPACEPATH>"},
                            {3, "<NAMESPACE NAME=\"root\"/>"},
                            {2, "</LOCALNAMESPACEPATH>"},
                            {1, "</NAMESPACEPATH>"},
                            {1, "<INSTANCENAME CLASSNAME=\"B\">"},
                            {2, "<KEYBINDING NAME=\"Part\">"},
                            {3, "<VALUE.REFERENCE>"},
                            {4, "<INSTANCEPATH>"},
                            {5, "<NAMESPACEPATH>"},
                            {6, host},
                            {6, "<LOCALNAMESPACEPATH>"},
                            {7, "<NAMESPACE NAME=\"root\"/>"},
                            {7, "<NAMESPACE NAME=\"cimv2\"/>"},
                            {6, "</LOCALNAMESPACEPATH>"},
                            {5, "</NAMESPACEPATH>"},
                            {5, "<INSTANCENAME CLASSNAME=\"C\">"},
                            {6, "<KEYBINDING NAME=\"Name\">"},
                            {7, "<KEYVALUE>0</KEYVALUE>"},
                            {6, "</KEYBINDING>"},
                            {5, "</INSTANCENAME>"},
                            {4, "</INSTANCEPATH>"},
                            {3, "</VALUE.REFERENCE>"},
                            {2, "</KEYBINDING>"},
                            {2, "<KEYBINDING NAME=\"Slot\">"},
                            {3, "<KEYVALUE>3</KEYVALUE>"},
                            {2, "</KEYBINDING>"},
                            {1, "</INSTANCENAME>"},
                            {0, "</INSTANCEPATH>"}}));
  // The blank key binding of the path now holds "0"; the instance C itself is untouched.
  CCIMProperty* part = static_cast<CCIMProperty*>(ref->reference->keys->data);
  EXPECT_STREQ(static_cast<CCIMProperty*>(part->reference->keys->data)->value, "0");
  EXPECT_STREQ(Find(c.get(), "Name")->value, "  ");
}

TEST(MarshallTest, NamespaceParts) {
  struct Case {
    const char* nameSpace;
    std::vector<std::string> parts;
  } cases[] = {{"/a//b/", {"a", "b"}},
               {"root/cimv2", {"root", "cimv2"}},
               {"x", {"x"}},
               {"", {}},
               {"//", {}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.nameSpace);
    Buffer b = NewBuffer();
    ASSERT_EQ(marshallLocalNameSpacePath(b.get(), c.nameSpace, 1), 0);
    std::vector<std::pair<int, std::string>> lines = {{1, "<LOCALNAMESPACEPATH>"}};
    for (const std::string& part : c.parts)
      lines.push_back({2, "<NAMESPACE NAME=\"" + part + "\"/>"});
    lines.push_back({1, "</LOCALNAMESPACEPATH>"});
    EXPECT_EQ(Text(b), Lines(lines));
  }
  Buffer b = NewBuffer();
  EXPECT_EQ(marshallLocalNameSpacePath(b.get(), nullptr, 0), 0);
  EXPECT_EQ(marshallNameSpacePath(b.get(), nullptr, 0), 0);
  EXPECT_EQ(Text(b), "");
}

TEST(MarshallTest, ReferenceWithoutNamespaceHoldsOnlyTheInstanceName) {
  Instance y(cim_createInstance("Y"));
  Instance x(cim_createInstance("X"));
  AddReference(x.get(), "R", y.get(), true, "-");
  Buffer b = NewBuffer();
  ASSERT_EQ(marshallProperty(b.get(), Find(x.get(), "R"), 0), 0);
  EXPECT_EQ(Text(b), Lines({{0, "<PROPERTY.REFERENCE NAME=\"R\">"},
                            {1, "<QUALIFIER NAME=\"Key\" TYPE=\"boolean\">"},
                            {2, "<VALUE>true</VALUE>"},
                            {1, "</QUALIFIER>"},
                            {1, "<VALUE.REFERENCE>"},
                            {2, "<INSTANCEPATH>"},
                            {3, "<INSTANCENAME CLASSNAME=\"Y\">"},
                            {3, "</INSTANCENAME>"},
                            {2, "</INSTANCEPATH>"},
                            {1, "</VALUE.REFERENCE>"},
                            {0, "</PROPERTY.REFERENCE>"}}));
}

TEST(MarshallTest, ListsSkipEmptyNodesAndEmbeddedInstances) {
  // Two instances with a node without an instance between them.
  CCIMInstance* first = cim_createInstance("First");
  Add(first, "E", CIM_INSTANCE, "ignored");
  Add(first, "S", CIM_STRING, "s");
  CCIMInstance* second = cim_createInstance("Second");
  CCIMList tail = {second, nullptr, nullptr};
  CCIMList middle = {nullptr, &tail, nullptr};
  CCIMList head = {first, &middle, nullptr};
  Buffer b = NewBuffer();
  EXPECT_EQ(marshallInstanceList(b.get(), &head, 2), 0);
  cim_freeInstance(first);
  cim_freeInstance(second);
  EXPECT_EQ(Text(b), Lines({{2, "<VALUE.OBJECT>"},
                            {3, "<INSTANCE CLASSNAME=\"First\">"},
                            {4, "<PROPERTY NAME=\"S\" TYPE=\"string\">"},
                            {5, "<VALUE>s</VALUE>"},
                            {4, "</PROPERTY>"},
                            {3, "</INSTANCE>"},
                            {2, "</VALUE.OBJECT>"},
                            {2, "<VALUE.OBJECT>"},
                            {3, "<INSTANCE CLASSNAME=\"Second\">"},
                            {3, "</INSTANCE>"},
                            {2, "</VALUE.OBJECT>"}}));
  // The library's empty list is a node without an instance; a null list writes nothing too.
  List empty(cim_createInstanceList());
  Buffer c = NewBuffer();
  EXPECT_EQ(marshallInstanceList(c.get(), empty.get(), 0), 0);
  EXPECT_EQ(marshallInstanceList(c.get(), nullptr, 0), 0);
  EXPECT_EQ(Text(c), "");
}

TEST(MarshallTest, InstanceWithoutClassNameStopsTheList) {
  CCIMInstance nameless = {nullptr, nullptr};
  CCIMInstance* named = cim_createInstance("After");
  CCIMList tail = {named, nullptr, nullptr};
  CCIMList head = {&nameless, &tail, nullptr};
  Buffer b = NewBuffer();
  EXPECT_EQ(marshallInstanceList(b.get(), &head, 0), -1);
  cim_freeInstance(named);
  EXPECT_EQ(Text(b), Lines({{0, "<VALUE.OBJECT>"}}));  // left open
  EXPECT_EQ(marshallInstance(b.get(), nullptr, 0), -1);
}

TEST(MarshallTest, LongLinesAreWrittenWhole) {
  std::string longName(5000, 'N');
  Instance instance(cim_createInstance(longName.c_str()));
  std::string longValue(9000, 'v');
  longValue[4500] = '<';
  Add(instance.get(), longName.c_str(), CIM_STRING, longValue.c_str());
  Buffer b = NewBuffer();
  ASSERT_EQ(marshallInstance(b.get(), instance.get(), 2100), 0);  // 4200 blanks of indentation
  std::string escaped = longValue.substr(0, 4500) + "&lt;" + longValue.substr(4501);
  EXPECT_EQ(Text(b), Lines({{2100, "<INSTANCE CLASSNAME=\"" + longName + "\">"},
                            {2101, "<PROPERTY NAME=\"" + longName + "\" TYPE=\"string\">"},
                            {2102, "<VALUE>" + escaped + "</VALUE>"},
                            {2101, "</PROPERTY>"},
                            {2100, "</INSTANCE>"}}));
  // A long name with a byte to reference is rewritten whole as well.
  std::string latin = longName + "\xe9" + longName;
  Instance other(cim_createInstance(latin.c_str()));
  Buffer c = NewBuffer();
  ASSERT_EQ(marshallInstance(c.get(), other.get(), 0), 0);
  EXPECT_EQ(Text(c), Lines({{0, "<INSTANCE CLASSNAME=\"" + longName + "&#xE9;" + longName + "\">"},
                            {0, "</INSTANCE>"}}));
}

TEST(MarshallTest, NullBufferFailsEverywhere) {
  Instance instance(cim_createInstance("X"));
  Add(instance.get(), "P", CIM_STRING, "v");
  CCIMProperty* p = Find(instance.get(), "P");
  List list(cim_createInstanceList());
  EXPECT_EQ(marshallInstanceList(nullptr, list.get(), 0), -1);
  EXPECT_EQ(marshallInstance(nullptr, instance.get(), 0), -1);
  EXPECT_EQ(marshallPropertyList(nullptr, instance->properties, 0), -1);
  EXPECT_EQ(marshallProperty(nullptr, p, 0), -1);
  EXPECT_EQ(marshallPropertyValue(nullptr, p, 0), -1);
  EXPECT_EQ(marshallKeyQualifier(nullptr, 0), -1);
  EXPECT_EQ(marshallPropertyReference(nullptr, p, 0), -1);
  EXPECT_EQ(marshallPropertyValueReference(nullptr, p, 0), -1);
  EXPECT_EQ(marshallPropertyInstancePath(nullptr, p, 0), -1);
  EXPECT_EQ(marshallNameSpacePath(nullptr, "a", 0), -1);
  EXPECT_EQ(marshallHost(nullptr, 0), -1);
  EXPECT_EQ(marshallLocalNameSpacePath(nullptr, "a", 0), -1);
  EXPECT_EQ(marshallInstanceName(nullptr, p, 0), -1);
  EXPECT_EQ(marshallKeybindings(nullptr, p, 0), -1);
  EXPECT_EQ(marshallExecQueryResults(nullptr, list.get(), "1"), -1);
  EXPECT_EQ(marshallCreateInstanceResults(nullptr, nullptr, "1"), -1);
  EXPECT_EQ(marshallInvokeMethodResults(nullptr, p, "1", "M"), -1);
  // Null records are not written, and a property without a reference writes no reference.
  Buffer b = NewBuffer();
  EXPECT_EQ(marshallProperty(b.get(), nullptr, 0), 0);
  EXPECT_EQ(marshallPropertyList(b.get(), nullptr, 0), 0);
  EXPECT_EQ(marshallPropertyReference(b.get(), p, 0), 0);
  EXPECT_EQ(marshallPropertyInstancePath(b.get(), p, 0), 0);
  EXPECT_EQ(marshallInstanceName(b.get(), p, 0), 0);
  EXPECT_EQ(marshallKeybindings(b.get(), p, 0), 0);
  EXPECT_EQ(Text(b), "");
}

// The lines every response document begins and ends with, around its own lines.
std::string Document(const std::string& id, const std::vector<std::pair<int, std::string>>& body) {
  std::vector<std::pair<int, std::string>> lines = {
      {0, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"},
      {0, "<CIM DTDVERSION=\"2.0\" CIMVERSION=\"2.0\">"},
      {1, "<MESSAGE ID=\"" + id + "\" PROTOCOLVERSION=\"1.0\">"},
      {2, "<SIMPLERSP>"}};
  lines.insert(lines.end(), body.begin(), body.end());
  lines.insert(lines.end(), {{2, "</SIMPLERSP>"}, {1, "</MESSAGE>"}, {0, "</CIM>"}});
  return Lines(lines);
}

TEST(MarshallTest, ExecQueryResponse) {
  List list(cim_createInstanceList());
  Append(&list, cim_createInstance("X"));
  Buffer b = NewBuffer();
  ASSERT_EQ(marshallExecQueryResults(b.get(), list.get(), "42"), 0);
  EXPECT_EQ(Text(b), Document("42", {{3, "<IMETHODRESPONSE NAME=\"ExecQuery\">"},
                                     {4, "<IRETURNVALUE>"},
                                     {5, "<VALUE.OBJECT>"},
                                     {6, "<INSTANCE CLASSNAME=\"X\">"},
                                     {6, "</INSTANCE>"},
                                     {5, "</VALUE.OBJECT>"},
                                     {4, "</IRETURNVALUE>"},
                                     {3, "</IMETHODRESPONSE>"}}));
  EXPECT_EQ(Text(b).substr(0, 42), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n\r\n");
}

TEST(MarshallTest, CreateInstanceResponse) {
  Instance x(cim_createInstance("X"));
  Add(x.get(), "Name", CIM_STRING, "", true);
  Add(x.get(), "Id", CIM_UINT32, "5", true);
  Path path(cim_createObjectPath(x.get()));
  Buffer b = NewBuffer();
  ASSERT_EQ(marshallCreateInstanceResults(b.get(), path.get(), "7"), 0);
  EXPECT_EQ(Text(b), Document("7", {{3, "<IMETHODRESPONSE NAME=\"CreateInstance\">"},
                                    {4, "<IRETURNVALUE>"},
                                    {5, "<INSTANCENAME CLASSNAME=\"X\">"},
                                    {6, "<KEYBINDING NAME=\"Name\">"},
                                    {7, "<KEYVALUE>0</KEYVALUE>"},
                                    {6, "</KEYBINDING>"},
                                    {6, "<KEYBINDING NAME=\"Id\">"},
                                    {7, "<KEYVALUE>5</KEYVALUE>"},
                                    {6, "</KEYBINDING>"},
                                    {5, "</INSTANCENAME>"},
                                    {4, "</IRETURNVALUE>"},
                                    {3, "</IMETHODRESPONSE>"}}));
  Buffer c = NewBuffer();
  ASSERT_EQ(marshallCreateInstanceResults(c.get(), nullptr, nullptr), 0);
  EXPECT_EQ(Text(c), Document("", {{3, "<IMETHODRESPONSE NAME=\"CreateInstance\">"},
                                   {4, "<ERROR CODE=\"1\"/>"},
                                   {3, "</IMETHODRESPONSE>"}}));
}

TEST(MarshallTest, InvokeMethodResponse) {
  Property p(cim_createProperty("R", CIM_STRING, "a&b", nullptr, CIM_FALSE));
  Buffer b = NewBuffer();
  ASSERT_EQ(marshallInvokeMethodResults(b.get(), p.get(), "9", "Scan"), 0);
  EXPECT_EQ(Text(b), Document("9", {{3, "<METHODRESPONSE NAME=\"Scan\">"},
                                    {4, "<RETURNVALUE>"},
                                    {5, "<VALUE>a&amp;b</VALUE>"},
                                    {4, "</RETURNVALUE>"},
                                    {3, "</METHODRESPONSE>"}}));
  Buffer c = NewBuffer();
  ASSERT_EQ(marshallInvokeMethodResults(c.get(), nullptr, "9", "Scan"), 0);
  EXPECT_NE(Text(c).find("\r\n          <VALUE></VALUE>\r\n"), std::string::npos);
}

}  // namespace

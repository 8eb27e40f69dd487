// The CIM-XML marshaller: element text, nested references, blank keys, escaping and bytes 0x80
// and above, arrays, lists, long lines, the response documents and null arguments.
#include "cimxml/marshall.h"

#include <unistd.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cimapi.h"
#include "cimxml/sbuf.h"

namespace {

using namespace nmspc_cim;

struct Free {
  void operator()(CCIMInstance* i) const { cim_freeInstance(i); }
  void operator()(CCIMProperty* p) const { cim_freeProperty(p); }
  void operator()(CCIMObjectPath* p) const { cim_freeObjectPath(p); }
  void operator()(CCIMList* l) const { cim_freeInstanceList(l); }
};
template <class T>
using Owned = std::unique_ptr<T, Free>;

// The expected text of lines given each led by its level and separated by '|' or a line end:
// "2<VALUE>" is "    <VALUE>\r\n". $HOST stands for this machine's name.
std::string L(const std::string& lines) {
  char host[256] = "";
  gethostname(host, sizeof host - 1);
  std::string text;
  for (size_t at = lines.find_first_not_of('\n'); at < lines.size();) {
    size_t end = lines.find_first_of("|\n", at);
    if (end == std::string::npos) end = lines.size();
    size_t digits = lines.find_first_not_of("0123456789", at);
    std::string line = lines.substr(digits, end - digits);
    if (line.find("$HOST") != std::string::npos) line.replace(line.find("$HOST"), 5, host);
    text += std::string(2 * std::stoul(lines.substr(at, digits - at)), ' ') + line + "\r\n";
    at = end + 1;
  }
  return text;
}

// What write(buffer) left in a fresh buffer, NUL bytes included; *result is its answer.
template <class Write>
std::string Text(Write write, int expected_result = 0) {
  std::unique_ptr<sbuf, SbufDeleter> b(sbufCreate(64));
  EXPECT_EQ(expected_result, write(b.get()));
  return std::string(sbufGetString(b.get()), sbufGetSize(b.get()));
}

CCIMProperty* Add(CCIMInstance* instance, const char* name, CIMType type, const char* value,
                  bool key = false, const CCIMInstance* to = nullptr, const char* ns = nullptr) {
  Owned<CCIMObjectPath> path(to != nullptr ? cim_createObjectPath(to) : nullptr);
  if (path) {
    free(path->nameSpace);
    path->nameSpace = ns != nullptr ? strdup(ns) : nullptr;
  }
  CCIMProperty* p = cim_createProperty(name, type, value, path.get(), key ? CIM_TRUE : CIM_FALSE);
  cim_addProperty(instance, p);
  return p;
}

std::string PropertyText(CCIMProperty* p) {
  return Text([p](sbuf* b) { return marshallProperty(b, p, 0); });
}

TEST(MarshallTest, InstanceWithKeysAndNestedReferences) {
  // C is named by a blank key; B refers to C by a key; X refers to B in a namespace and to Y
  // without one.
  Owned<CCIMInstance> c(cim_createInstance("C")), b(cim_createInstance("B")),
      y(cim_createInstance("Y"));
  Add(c.get(), "Name", CIM_STRING, "  ", true);
  Add(b.get(), "Part", CIM_REFERENCE, nullptr, true, c.get(), "root/cimv2");
  Add(b.get(), "Slot", CIM_UINT16, "3", true);
  Owned<CCIMList> list(cim_createInstanceList());
  CCIMInstance* x = cim_createInstance("X");
  Add(x, "K", CIM_STRING, "v", true);
  CCIMProperty* ref = Add(x, "R", CIM_REFERENCE, nullptr, false, b.get(), "/a//b/");
  Add(x, "S", CIM_REFERENCE, nullptr, true, y.get());
  list.reset(cim_addInstance(list.release(), x));
  EXPECT_EQ(L(R"(0<VALUE.OBJECT>|1<INSTANCE CLASSNAME="X">|2<PROPERTY NAME="K" TYPE="string">
3<QUALIFIER NAME="Key" TYPE="boolean">|4<VALUE>true</VALUE>|3</QUALIFIER>|3<VALUE>v</VALUE>
2</PROPERTY>|2<PROPERTY.REFERENCE NAME="R">|3<VALUE.REFERENCE>|4<INSTANCEPATH>
5<NAMESPACEPATH>|6<HOST>$HOST</HOST>|6<LOCALNAMESPACEPATH>|7<NAMESPACE NAME="a"/>
7<NAMESPACE NAME="b"/>|6</LOCALNAMESPACEPATH>|5</NAMESPACEPATH>
5<INSTANCENAME CLASSNAME="B">|6<KEYBINDING NAME="Part">|7<VALUE.REFERENCE>|8<INSTANCEPATH>
9<NAMESPACEPATH>|10<HOST>$HOST</HOST>|10<LOCALNAMESPACEPATH>|11<NAMESPACE NAME="root"/>
11<NAMESPACE NAME="cimv2"/>|10</LOCALNAMESPACEPATH>|9</NAMESPACEPATH>
9<INSTANCENAME CLASSNAME="C">|10<KEYBINDING NAME="Name">|11<KEYVALUE>0</KEYVALUE>
10</KEYBINDING>|9</INSTANCENAME>|8</INSTANCEPATH>|7</VALUE.REFERENCE>|6</KEYBINDING>
6<KEYBINDING NAME="Slot">|7<KEYVALUE>3</KEYVALUE>|6</KEYBINDING>|5</INSTANCENAME>
4</INSTANCEPATH>|3</VALUE.REFERENCE>|2</PROPERTY.REFERENCE>|2<PROPERTY.REFERENCE NAME="S">
3<QUALIFIER NAME="Key" TYPE="boolean">|4<VALUE>true</VALUE>|3</QUALIFIER>|3<VALUE.REFERENCE>
4<INSTANCEPATH>|5<INSTANCENAME CLASSNAME="Y">|5</INSTANCENAME>|4</INSTANCEPATH>
3</VALUE.REFERENCE>|2</PROPERTY.REFERENCE>|1</INSTANCE>|0</VALUE.OBJECT>)"),
            Text([&](sbuf* out) { return marshallInstanceList(out, list.get(), 0); }));
  // The path's blank key now holds "0"; the instance C itself is untouched.
  CCIMProperty* part = static_cast<CCIMProperty*>(ref->reference->keys->data);
  EXPECT_STREQ("0", static_cast<CCIMProperty*>(part->reference->keys->data)->value);
  EXPECT_STREQ("  ", static_cast<CCIMProperty*>(c->properties->data)->value);
}

// A path met again in a list is copied from where it was first written: the text is the one
// separate copies of the path give, the blank key's "0" included, at every level.
TEST(MarshallTest, ASharedPathReadsAsItsCopies) {
  Owned<CCIMInstance> target(cim_createInstance("T"));
  Add(target.get(), "Id", CIM_STRING, " ", true);
  auto pathOf = [&](bool shared) {
    return shared ? cim_shareObjectPath(target.get()) : cim_createObjectPath(target.get());
  };
  auto refTo = [](const char* name, CCIMObjectPath* path) {
    CCIMProperty* ref = cim_createProperty(name, CIM_STRING, nullptr, nullptr, CIM_TRUE);
    ref->type = CIM_REFERENCE;
    ref->reference = path;
    return ref;
  };
  // X refers to T twice, then to H, whose path names T one level deeper, then to T again.
  auto text = [&](bool shared) {
    CCIMInstance* x = cim_createInstance("X");
    cim_addProperty(x, refTo("R", pathOf(shared)));
    cim_addProperty(x, refTo("S", pathOf(shared)));
    Owned<CCIMInstance> holder(cim_createInstance("H"));
    Add(holder.get(), "K", CIM_STRING, "k", true);
    CCIMObjectPath* deep = cim_createObjectPath(holder.get());
    auto* key = static_cast<CCIMProperty*>(deep->keys->data);
    key->type = CIM_REFERENCE;
    key->reference = pathOf(shared);
    cim_addProperty(x, refTo("D", deep));
    cim_addProperty(x, refTo("E", pathOf(shared)));
    Owned<CCIMList> list(cim_addInstance(nullptr, x));
    return Text([&](sbuf* b) { return marshallInstanceList(b, list.get(), 0); });
  };
  const std::string separate = text(false);
  EXPECT_NE(separate.find("<KEYVALUE>0</KEYVALUE>"), std::string::npos);
  EXPECT_EQ(separate, text(true));
}

// Properties sharing one name text read as if each had a copy of it.
TEST(MarshallTest, PropertiesSharingANameReadAsSeparatelyNamed) {
  auto text = [](bool shared) {
    CCIMArena* arena = cim_createArena();
    CCIMInstance* x = cim_createInstanceIn(arena, "X");
    for (int i = 0; i < 4; ++i) {  // two keys, a plain string, a number
      cim_addProperty(x, (shared ? cim_createPropertyNamedIn : cim_createPropertyIn)(
                             arena, "N", i < 3 ? CIM_STRING : CIM_UINT16, "v", nullptr,
                             i < 2 ? CIM_TRUE : CIM_FALSE));
    }
    CCIMList* list = cim_addInstance(cim_createInstanceListIn(arena), x);
    std::string written = Text([&](sbuf* b) { return marshallInstanceList(b, list, 0); });
    cim_freeArena(arena);
    return written;
  };
  EXPECT_EQ(text(false), text(true));
}

TEST(MarshallTest, ScalarsBlankKeysAndMissingValues) {
  for (const auto& [type, name] : {std::pair<int, std::string>{-1, "unknown"},
                                   {0, "uint8"},
                                   {13, "char16"},
                                   {30, "unknown"}}) {
    Owned<CCIMProperty> p(cim_createProperty("P", CIM_STRING, "7", nullptr, CIM_FALSE));
    p->type = static_cast<CIMType>(type);
    EXPECT_EQ(L("0<PROPERTY NAME=\"P\" TYPE=\"" + name + "\">|1<VALUE>7</VALUE>|0</PROPERTY>"),
              PropertyText(p.get()));
  }
  for (const char* blank : {static_cast<const char*>(nullptr), "", "  ", "\t\r\n\v\f"}) {
    Owned<CCIMProperty> key(cim_createProperty("K", CIM_UINT32, blank, nullptr, CIM_TRUE));
    EXPECT_EQ(L(R"(0<PROPERTY NAME="K" TYPE="uint32">|1<QUALIFIER NAME="Key" TYPE="boolean">
2<VALUE>true</VALUE>|1</QUALIFIER>|1<VALUE>0</VALUE>|0</PROPERTY>)"),
              PropertyText(key.get()));
    EXPECT_STREQ("0", key->value);  // the record keeps the replacement
  }
  Owned<CCIMProperty> none(cim_createProperty("P", CIM_STRING, nullptr, nullptr, CIM_FALSE));
  EXPECT_EQ(L("0<PROPERTY NAME=\"P\" TYPE=\"string\">\n0</PROPERTY>"), PropertyText(none.get()));
}

// The VALUE line of a string property holding value, without indentation and line end.
std::string ValueLine(const std::string& value) {
  Owned<CCIMProperty> p(cim_createProperty("P", CIM_STRING, value.c_str(), nullptr, CIM_FALSE));
  const std::string text = PropertyText(p.get());
  const size_t begin = text.find("<VALUE>");
  return text.substr(begin, text.find("\r\n", begin) - begin);
}

TEST(MarshallTest, CharacterDataIsEscapedAndMadeUtf8) {
  const std::pair<const char*, const char*> cases[] = {
      {"a<b & \"c\" 'd'>~", "a&lt;b &amp; &quot;c&quot; &apos;d&apos;&gt;~"},
      {"a\tb\nc\rd\x01\x1f\x7f", "abcd"},  // control bytes and DEL are dropped
      {"&\x01&", "&amp;&amp;"},
      // well-formed UTF-8 of two and three bytes stays as it is, ED-led ones below surrogates too
      {"M\xc3\xbcller \xe2\x82\xac \xc2\x85 \xef\xbf\xbd \xed\x95\x9c",
       "M\xc3\xbcller \xe2\x82\xac \xc2\x85 \xef\xbf\xbd \xed\x95\x9c"},
      // four-byte sequences have no modified UTF-8 form: character references
      {"a\xf0\x9f\x98\x80"
       "b\xf4\x8f\xbf\xbf",
       "a&#x1F600;b&#x10FFFF;"},
      // any other byte 0x80 and above is the Latin-1 character of that byte
      {"caf\xe9<", "caf&#xE9;&lt;"},
      {"\x80\xbf", "&#x80;&#xBF;"},
      {"\xc0\xaf\xe0\x80\xaf", "&#xC0;&#xAF;&#xE0;&#x80;&#xAF;"},            // overlong
      {"\xed\xa0\x80\xef\xbf\xbe", "&#xED;&#xA0;&#x80;&#xEF;&#xBF;&#xBE;"},  // surrogate, U+FFFE
      {"\xf4\x90\x80\x80", "&#xF4;&#x90;&#x80;&#x80;"},                      // above U+10FFFF
      {"\xf5\xff\xfe", "&#xF5;&#xFF;&#xFE;"},
      {"\xe2\x82x\xc3", "&#xE2;&#x82;x&#xC3;"},  // cut short, also at the end
      {"\xc3\xc3\xa9\xf0\x9f\x98", "&#xC3;\xc3\xa9&#xF0;&#x9F;&#x98;"},
  };
  for (const auto& [value, written] : cases) {
    EXPECT_EQ(std::string("<VALUE>") + written + "</VALUE>", ValueLine(value)) << value;
  }
}

// Names are written as they are, except bytes that are not UTF-8, which are checked a word at
// a time: the byte may sit anywhere in a line, whatever its length (longer ones included).
TEST(MarshallTest, NamesKeepMarkupAndLinesOfAnyLengthAreChecked) {
  Owned<CCIMInstance> named(cim_createInstance("A&B<\"C\""));
  Add(named.get(), "N&me", CIM_STRING, "&");
  EXPECT_EQ(
      L(R"(1<INSTANCE CLASSNAME="A&B<"C"">|2<PROPERTY NAME="N&me" TYPE="string">|3<VALUE>&amp;</VALUE>
2</PROPERTY>|1</INSTANCE>)"),
      Text([&](sbuf* b) { return marshallInstance(b, named.get(), 1); }));
  for (size_t length : {1, 2, 7, 8, 9, 15, 16, 17, 31, 33, 5000}) {
    for (size_t at : {size_t{0}, length / 2, length - 1}) {
      std::string name(length, 'n');
      name[at] = '\xfc';
      Owned<CCIMInstance> instance(cim_createInstance(name.c_str()));
      name.replace(at, 1, "&#xFC;");
      ASSERT_EQ(L("0<INSTANCE CLASSNAME=\"" + name + "\">\n0</INSTANCE>"),
                Text([&](sbuf* b) { return marshallInstance(b, instance.get(), 0); }))
          << length << " " << at;
    }
  }
  const std::string value(9000, 'v');
  Owned<CCIMProperty> p(cim_createProperty("P", CIM_STRING, value.c_str(), nullptr, CIM_FALSE));
  EXPECT_EQ(L("2100<PROPERTY NAME=\"P\" TYPE=\"string\">\n2101<VALUE>" + value +
              "</VALUE>\n2100</PROPERTY>"),
            Text([&](sbuf* b) { return marshallPropertyValue(b, p.get(), 2100); }));
}

TEST(MarshallTest, ArraysAreWrittenThroughTheDecoders) {
  // 2 to the 1000th, in fixed notation 309 characters, is written whole.
  const std::string fixed = std::to_string(std::ldexp(1.0, 1000)), big = fixed.substr(0, 302);
  const struct {
    int type;
    const char* value;
    const char* values;  // the VALUE texts, each followed by '|'
  } cases[] = {
      {14, "0,255,", "0|255|"},
      {15, "-128,127", "-128|127|"},
      {16, "65535", "65535|"},
      {17, "-32768", "-32768|"},
      {18, "4294967295", "4294967295|"},
      {19, "-2147483648,7", "-2147483648|7|"},
      {20, "4294967296,18446744073709551615", "4294967296|18446744073709551615|"},
      {21, "-9223372036854775808", "-9223372036854775808|"},
      {22, "a\\,b,<x>,,", "a,b|&lt;x&gt;||"},
      {23, "true,0,1,FALSE", "true|false|true|false|"},
      {24, "2.5,-1e3", "2.500000|-1000.000000|"},
      {25, big.c_str(), nullptr},
      {26, "20230101", "20230101|"},
      {27, "65,", "65|"},
      // an empty text writes the frame alone; unreadable and missing texts a NULL array
      {14, "", ""},
      {14, "256", "NULL"},
      {20, "x", "NULL"},
      {22, nullptr, "NULL"},
  };
  const char* names[] = {"uint8",  "sint8",  "uint16",  "sint16", "uint32", "sint32",   "uint64",
                         "sint64", "string", "boolean", "real32", "real64", "datetime", "char16"};
  for (const auto& c : cases) {
    const bool key = c.type == 22;
    Owned<CCIMProperty> p(cim_createProperty("A", static_cast<CIMType>(c.type), c.value, nullptr,
                                             key ? CIM_TRUE : CIM_FALSE));
    std::string lines = std::string("0<PROPERTY.ARRAY NAME=\"A\" TYPE=\"") + names[c.type - 14] +
                        "\">\n" +
                        (key ? "1<QUALIFIER NAME=\"Key\" TYPE=\"boolean\">\n2<VALUE>true</VALUE>\n"
                               "1</QUALIFIER>\n"
                             : "");
    std::string values = c.values ? c.values : fixed + "|";
    if (values != "NULL") {
      lines += "1<VALUE.ARRAY>\n";
      for (size_t at = 0, bar; (bar = values.find('|', at)) != std::string::npos; at = bar + 1) {
        lines += "2<VALUE>" + values.substr(at, bar - at) + "</VALUE>\n";
      }
      lines += "1</VALUE.ARRAY>\n";
    }
    EXPECT_EQ(L(lines + "0</PROPERTY.ARRAY>"), PropertyText(p.get()))
        << (c.value ? c.value : "null");
  }
}

TEST(MarshallTest, ListsSkipEmptyNodesAndEmbeddedInstancesAndStopAtANamelessOne) {
  Owned<CCIMInstance> first(cim_createInstance("First")), second(cim_createInstance("Second"));
  Add(first.get(), "E", CIM_INSTANCE, "ignored");
  CCIMList tail = {second.get(), nullptr};
  CCIMList middle = {nullptr, &tail};
  CCIMList head = {first.get(), &middle};
  EXPECT_EQ(
      L(R"(2<VALUE.OBJECT>|3<INSTANCE CLASSNAME="First">|3</INSTANCE>|2</VALUE.OBJECT>|2<VALUE.OBJECT>
3<INSTANCE CLASSNAME="Second">|3</INSTANCE>|2</VALUE.OBJECT>)"),
      Text([&](sbuf* b) { return marshallInstanceList(b, &head, 2); }));
  Owned<CCIMList> empty(cim_createInstanceList());
  EXPECT_EQ("", Text([&](sbuf* b) { return marshallInstanceList(b, empty.get(), 0); }));
  CCIMInstance nameless = {nullptr, nullptr};
  head.data = &nameless;
  EXPECT_EQ(L("0<VALUE.OBJECT>"),
            Text([&](sbuf* b) { return marshallInstanceList(b, &head, 0); }, -1));
}

// A null buffer fails every writer; null records, and a property without a reference where
// one is written, write nothing.
TEST(MarshallTest, NullArguments) {
  Owned<CCIMInstance> x(cim_createInstance("X"));
  CCIMProperty* p = Add(x.get(), "P", CIM_STRING, "v");
  EXPECT_EQ(-1, marshallInstanceList(nullptr, nullptr, 0) + marshallInstance(nullptr, x.get(), 0) +
                    marshallProperty(nullptr, p, 0) + marshallPropertyInstancePath(nullptr, p, 0) +
                    marshallKeybindings(nullptr, p, 0) + marshallInstanceName(nullptr, p, 0) +
                    marshallExecQueryResults(nullptr, nullptr, "1") +
                    marshallNameSpacePath(nullptr, nullptr, 0) +
                    marshallPropertyValue(nullptr, p, 0) + 8);
  EXPECT_EQ("", Text([&](sbuf* b) {
              return marshallProperty(b, nullptr, 0) + marshallPropertyList(b, nullptr, 0) +
                     marshallPropertyReference(b, p, 0) + marshallPropertyInstancePath(b, p, 0) +
                     marshallInstanceName(b, p, 0) + marshallKeybindings(b, p, 0) +
                     marshallLocalNameSpacePath(b, nullptr, 0) +
                     marshallNameSpacePath(b, nullptr, 0) + marshallInstanceList(b, nullptr, 0) +
                     marshallPropertyValueReference(b, nullptr, 0);
            }));
}

// A response document: its first lines, body, and last lines.
std::string Document(const std::string& id, const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n\r\n" +
         L("0<CIM DTDVERSION=\"2.0\" CIMVERSION=\"2.0\">\n1<MESSAGE ID=\"" + id +
           "\" PROTOCOLVERSION=\"1.0\">\n2<SIMPLERSP>\n" + body +
           "\n2</SIMPLERSP>\n1</MESSAGE>\n0</CIM>");
}

TEST(MarshallTest, ResponseDocuments) {
  Owned<CCIMList> list(cim_createInstanceList());
  Owned<CCIMInstance> x(cim_createInstance("X"));
  list.reset(cim_addInstance(list.release(), cim_createInstance("X")));
  EXPECT_EQ(Document("42", R"(3<IMETHODRESPONSE NAME="ExecQuery">|4<IRETURNVALUE>|5<VALUE.OBJECT>
6<INSTANCE CLASSNAME="X">|6</INSTANCE>|5</VALUE.OBJECT>|4</IRETURNVALUE>|3</IMETHODRESPONSE>)"),
            Text([&](sbuf* b) { return marshallExecQueryResults(b, list.get(), "42"); }));
  Add(x.get(), "Name", CIM_STRING, "", true);
  Add(x.get(), "Id", CIM_UINT32, "5", true);
  Owned<CCIMObjectPath> path(cim_createObjectPath(x.get()));
  EXPECT_EQ(
      Document(
          "7",
          R"(3<IMETHODRESPONSE NAME="CreateInstance">|4<IRETURNVALUE>|5<INSTANCENAME CLASSNAME="X">
6<KEYBINDING NAME="Name">|7<KEYVALUE>0</KEYVALUE>|6</KEYBINDING>|6<KEYBINDING NAME="Id">
7<KEYVALUE>5</KEYVALUE>|6</KEYBINDING>|5</INSTANCENAME>|4</IRETURNVALUE>|3</IMETHODRESPONSE>)"),
      Text([&](sbuf* b) { return marshallCreateInstanceResults(b, path.get(), "7"); }));
  EXPECT_EQ(Document("",
                     "3<IMETHODRESPONSE NAME=\"CreateInstance\">\n4<ERROR CODE=\"1\"/>\n"
                     "3</IMETHODRESPONSE>"),
            Text([&](sbuf* b) { return marshallCreateInstanceResults(b, nullptr, nullptr); }));
  Owned<CCIMProperty> p(cim_createProperty("R", CIM_STRING, "a&b", nullptr, CIM_FALSE));
  for (CCIMProperty* value : {p.get(), static_cast<CCIMProperty*>(nullptr)}) {
    EXPECT_EQ(
        Document("9", std::string("3<METHODRESPONSE NAME=\"Scan\">\n4<RETURNVALUE>\n5<VALUE>") +
                          (value ? "a&amp;b" : "") +
                          "</VALUE>\n4</RETURNVALUE>\n3</METHODRESPONSE>"),
        Text([&](sbuf* b) { return marshallInvokeMethodResults(b, value, "9", "Scan"); }));
  }
}

}  // namespace

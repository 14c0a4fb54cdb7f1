#include "document/data_stream.h"

#include <gtest/gtest.h>

#include "base/errors.h"
#include "support/temp_dir.h"

namespace slabrip {
namespace {

std::vector<std::uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<std::uint8_t> out;
  for (const int v : values) out.push_back(static_cast<std::uint8_t>(v));
  return out;
}

TEST(DataStream, StringsAreACountAndTheirBytes) {
  TMemoryByteStream memory;
  TDataStream out(memory);
  out.WriteString("");
  out.WriteString("abc");
  EXPECT_EQ(memory.Bytes(), Bytes({0, 0, 0, 0, 3, 0, 0, 0, 0x61, 0x62, 0x63}));
  memory.SetPosition(0);
  std::string a = "x", b;
  TDataStream in(memory);
  EXPECT_TRUE(in.ReadString(a));
  EXPECT_TRUE(in.ReadWideString(b));
  EXPECT_EQ(a, "");
  EXPECT_EQ(b, "abc");
}

TEST(DataStream, PrimitivesRoundTripLittleEndian) {
  TMemoryByteStream memory;
  TDataStream out(memory);
  out.WriteBoolean(true);
  out.WriteInteger(-2);
  out.WriteCardinal(0xA1B2C3D4);
  out.WriteSingle(1.5f);
  EXPECT_EQ(memory.Bytes(), Bytes({1, 0xFE, 0xFF, 0xFF, 0xFF, 0xD4, 0xC3, 0xB2, 0xA1, 0, 0, 0xC0, 0x3F}));
  memory.SetPosition(0);
  TDataStream in(memory);
  bool flag = false;
  std::int32_t i = 0;
  std::uint32_t c = 0;
  float f = 0;
  in.ReadBoolean(flag);
  in.ReadInteger(i);
  in.ReadCardinal(c);
  in.ReadSingle(f);
  EXPECT_TRUE(flag);
  EXPECT_EQ(i, -2);
  EXPECT_EQ(c, 0xA1B2C3D4u);
  EXPECT_EQ(f, 1.5f);
  EXPECT_TRUE(in.LastOk());
}

void ExpectAssertion(const std::function<void()>& read, int line) {
  try {
    read();
    ADD_FAILURE() << "no assertion";
  } catch (const EAssertionFailure& e) {
    EXPECT_EQ(std::string(e.what()), "Assertion failure (StreamLoader, line " + std::to_string(line) + ")");
  }
}

TEST(DataStream, ShortReadsRaiseTheirSitesAssertionAndBuffersDoNot) {
  TMemoryByteStream memory(Bytes({1, 2}));
  TDataStream in(memory);
  std::int32_t i = 0;
  ExpectAssertion([&] { in.ReadInteger(i); }, 424);
  EXPECT_FALSE(in.LastOk());
  memory.SetPosition(0);
  float f = 0;
  ExpectAssertion([&] { in.ReadSingle(f); }, 489);
  memory.SetPosition(0);
  std::uint32_t c = 0;
  ExpectAssertion([&] { in.ReadCardinal(c); }, 826);
  memory.SetPosition(2);
  bool b = false;
  ExpectAssertion([&] { in.ReadBoolean(b); }, 417);
  memory.SetPosition(0);
  std::uint8_t buffer[4];
  EXPECT_FALSE(in.ReadBuffer(buffer, 4));
  EXPECT_FALSE(in.LastOk());
}

TEST(DataStream, AStringLongerThanWhatIsLeftRaisesBeforeAllocating) {
  TMemoryByteStream memory(Bytes({0xFF, 0xFF, 0xFF, 0x7F, 'a'}));  // claims 2 GiB
  TDataStream in(memory);
  std::string s;
  ExpectAssertion([&] { in.ReadString(s); }, 504);
  EXPECT_TRUE(s.empty());
  TMemoryByteStream negative(Bytes({0xFF, 0xFF, 0xFF, 0xFF}));
  TDataStream in2(negative);
  ExpectAssertion([&] { in2.ReadString(s); }, 504);
}

TEST(DataStream, SeekFromEachOrigin) {
  TMemoryByteStream memory(Bytes({0, 1, 2, 3, 4, 5, 6, 7}));
  TDataStream in(memory);
  EXPECT_TRUE(in.Seek(-3, 2));
  EXPECT_EQ(in.Position(), 5);
  EXPECT_TRUE(in.Seek(-2, 1));
  EXPECT_EQ(in.Position(), 3);
  EXPECT_TRUE(in.Seek(6, 0));
  EXPECT_EQ(in.Remaining(), 2);
  EXPECT_FALSE(in.Seek(9, 0));
  EXPECT_FALSE(in.Seek(-1, 0));
}

TParamChanges Changes(std::int32_t parameter) {
  TParamChanges c;
  c.Parameter = parameter;
  c.ValueA = 7;
  c.ValueB = 8;
  c.ArrayA = {1, 2, 3};
  c.ArrayB = {0xFFFFFFFF};
  return c;
}

TEST(ObjectRecords, ParameterChangesRoundTripAsARecordAndAList) {
  TMemoryByteStream memory;
  TDataStream out(memory);
  const TParamChanges one = Changes(5);
  out.WriteObject(&one);
  std::vector<TStreamObjectPtr> list;
  list.push_back(std::make_unique<TParamChanges>(Changes(6)));
  list.push_back(std::make_unique<TParamChanges>(Changes(7)));
  TParamListChanges many;
  many.Changes = std::move(list);
  out.WriteObject(&many);
  out.WriteObject(nullptr);  // writes nothing
  memory.SetPosition(0);
  TDataStream in(memory);
  TStreamObjectPtr first, second;
  ASSERT_TRUE(in.ReadObject(first));
  ASSERT_TRUE(in.ReadObject(second));
  EXPECT_EQ(in.Remaining(), 0);
  const auto* p = dynamic_cast<const TParamChanges*>(first.get());
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->Parameter, 5);
  EXPECT_EQ(p->ArrayA, (std::vector<std::uint32_t>{1, 2, 3}));
  EXPECT_EQ(p->ArrayB, (std::vector<std::uint32_t>{0xFFFFFFFF}));
  const auto* l = dynamic_cast<const TParamListChanges*>(second.get());
  ASSERT_NE(l, nullptr);
  ASSERT_EQ(l->Changes.size(), 2u);
  EXPECT_EQ(dynamic_cast<const TParamChanges&>(*l->Changes[1]).Parameter, 7);
}

TEST(ObjectRecords, ListsWithNoOrNegativeCountAreEmptyAndAFailedRecordEmptiesTheList) {
  for (const std::int32_t count : {0, -4}) {
    TMemoryByteStream memory;
    TDataStream io(memory);
    io.WriteInteger(count);
    memory.SetPosition(0);
    std::vector<TStreamObjectPtr> list;
    EXPECT_TRUE(io.ReadObjectList(list));
    EXPECT_TRUE(list.empty());
  }
  TMemoryByteStream memory;
  TDataStream io(memory);
  io.WriteInteger(3);
  const TParamChanges c = Changes(1);
  io.WriteObject(&c);
  io.WriteObject(&c);
  io.WriteInteger(4711);  // an unknown loader ID
  memory.SetPosition(0);
  std::vector<TStreamObjectPtr> list;
  EXPECT_FALSE(io.ReadObjectList(list));
  EXPECT_TRUE(list.empty());
}

TEST(ObjectRecords, ArraysLargerThanTheStreamFailTheRecord) {
  TMemoryByteStream memory;
  TDataStream io(memory);
  io.WriteInteger(TParamChanges::kLoaderId);
  for (const std::int32_t v : {1, 0, 0, 0x10000000, 0}) io.WriteInteger(v);
  memory.SetPosition(0);
  TStreamObjectPtr object;
  EXPECT_FALSE(io.ReadObject(object));
}

TStreamObjectPtr LoadNothing(TDataStream&) { return nullptr; }

TEST(Registry, TheFirstRegistrationOfAnIdStaysAndLookupsAreSorted) {
  TStreamDataFactory factory;
  EXPECT_TRUE(factory.RegisterStreamClass(100, &TParamChanges::LoadObjFromStream));
  EXPECT_FALSE(factory.RegisterStreamClass(100, &LoadNothing));
  EXPECT_EQ(factory.Find(100), &TParamChanges::LoadObjFromStream);
  EXPECT_EQ(factory.Find(99), nullptr);
  EXPECT_EQ(TStreamDataFactory::Default().Find(101), &TParamListChanges::LoadObjFromStream);
  EXPECT_THROW(factory.RegisterStreamClass(5, nullptr), EAssertionFailure);

  TLookupList<int> list;
  for (const int key : {50, 10, 30, 20, 40}) list.Insert(key, key * 2);
  bool found = false;
  EXPECT_EQ(list.Find(30, found), 2u);
  EXPECT_TRUE(found);
  EXPECT_EQ(list.Find(35, found), 3u);  // the first larger key
  EXPECT_FALSE(found);
  EXPECT_EQ(*list.Lookup(40), 80);
}

TEST(DataStream, ADetachedFileStreamOutlivesTheDataStream) {
  test::TTempDir dir;
  const std::string path = dir.Write("f", std::string("\x05\x00\x00\x00\x06\x00\x00\x00", 8));
  std::unique_ptr<TByteStream> file;
  {
    TDataStream stream(std::make_unique<TFileByteStream>(path, false));
    std::int32_t v = 0;
    stream.ReadInteger(v);
    EXPECT_EQ(v, 5);
    file = stream.DetachStream();
  }
  std::int32_t next = 0;
  ASSERT_EQ(file->Read(&next, 4), 4u);
  EXPECT_EQ(next, 6);
  EXPECT_THROW(TFileByteStream(dir.File("missing"), false), TError);
}

}  // namespace
}  // namespace slabrip

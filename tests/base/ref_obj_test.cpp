#include "base/ref_obj.h"

#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

namespace slabrip {
namespace {

// Records its destruction in a shared log.
class TLogged : public TRefObj {
 public:
  TLogged(std::vector<std::string>& log, std::string name) : Log(log), Name(std::move(name)) {}
  ~TLogged() override { Log.push_back(Name); }
  std::vector<std::string>& Log;
  std::string Name;
};

class TDerived : public TLogged {
 public:
  using TLogged::TLogged;
};

TEST(RefObj, CountStartsAtZeroAndTheLastHandleDestroys) {
  std::vector<std::string> log;
  auto first = MakeRef<TLogged>(log, "a");
  EXPECT_EQ(first->RefCount(), 0);
  {
    auto second = first;  // AddRef
    EXPECT_EQ(first->RefCount(), 1);
    first.Reset();  // first Release: still alive
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(second->RefCount(), 0);
  }  // second Release destroys
  EXPECT_EQ(log, std::vector<std::string>{"a"});
}

TEST(RefObj, NullHandlesAndMovesChangeNoCount) {
  TRef<TLogged> none;
  none.Reset();  // releasing none does nothing
  EXPECT_FALSE(none);
  std::vector<std::string> log;
  auto a = MakeRef<TLogged>(log, "a");
  TRef<TLogged> b = std::move(a);
  EXPECT_FALSE(a);  // NOLINT(bugprone-use-after-move): moved-from handles are null
  EXPECT_EQ(b->RefCount(), 0);
  TRef<TLogged> base = MakeRef<TDerived>(log, "d");  // upcast keeps one owner
  EXPECT_EQ(base->RefCount(), 0);
  base = b;  // assignment releases the old object
  EXPECT_EQ(log, std::vector<std::string>{"d"});
  EXPECT_EQ(b->RefCount(), 1);
}

TEST(RefObj, TagIsKept) {
  std::vector<std::string> log;
  auto obj = MakeRef<TLogged>(log, "t");
  obj->SetTag(-17);
  EXPECT_EQ(obj->Tag(), -17);
}

TEST(RefObj, CountsStayExactUnderConcurrentCopies) {
  std::vector<std::string> log;
  auto shared = MakeRef<TLogged>(log, "s");
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&shared] {
      for (int i = 0; i < 20000; ++i) {
        TRef<TLogged> copy = shared;
        (void)copy;
      }
    });
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(shared->RefCount(), 0);
  shared.Reset();
  EXPECT_EQ(log.size(), 1u);
}

TEST(RefObjDeathTest, DestroyingAnObjectThatStillHasOwnersAborts) {
  std::vector<std::string> log;
  EXPECT_DEATH({ TLogged onStack(log, "x"); }, "Assertion failure \\(ReleaseObjClass, line [0-9]+\\)");
}

TEST(ReleaseList, ReleasesLastToFirstAndIgnoresOutOfRangeIndices) {
  std::vector<std::string> log;
  auto kept = MakeRef<TLogged>(log, "kept");
  {
    TReleaseList<TLogged> list;
    list.Add(MakeRef<TLogged>(log, "1"));
    list.Add(kept);
    list.Add(MakeRef<TLogged>(log, "3"));
    EXPECT_EQ(list.Count(), 3u);
    EXPECT_EQ(list.Item(1), kept);
    EXPECT_FALSE(list.Item(3));
    EXPECT_FALSE(list.Item(-1));
    list.ReleaseAll();
    EXPECT_EQ(list.Count(), 0u);
  }
  EXPECT_EQ(log, (std::vector<std::string>{"3", "1"}));  // "kept" still has its owner
  EXPECT_EQ(kept->RefCount(), 0);
}

}  // namespace
}  // namespace slabrip

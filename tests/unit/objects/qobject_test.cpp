#include "objects/qobject.h"

#include <gtest/gtest.h>

namespace {

int g_destroyed = 0;

class Leaf : public Q::TqObject {
 public:
  explicit Leaf(const wchar_t* name) : TqObject(name), payload_(new int[16]) {}
  ~Leaf() override {
    delete[] payload_;
    ++g_destroyed;
  }
  unsigned char GetKind() override { return Q::kKindService; }

 private:
  int* payload_;
};

class Parent : public Q::TqObject {
 public:
  Parent(int children, bool failHalfWay) : TqObject(L"parent"), n_(children), fail_(failHalfWay) {
    expandable_ = 1;
  }
  void Enumerate(Q::TqObject*** children, int* count) override {
    Q::TqChildren list;
    for (int i = 0; i < n_; ++i) {
      if (fail_ && i == n_ / 2) throw 42;
      list.Add(new Leaf(std::to_wstring(i).c_str()));
    }
    list.Release(children, count);
  }

 private:
  int n_;
  bool fail_;
};

TEST(TqObjectTest, NullNameGivesNullNameAndEmptyDisplayName) {
  Q::TqObject object(nullptr);
  wchar_t* name = reinterpret_cast<wchar_t*>(1);
  wchar_t* display = nullptr;
  object.GetName(&name);
  object.GetDisplayName(&display);
  EXPECT_EQ(nullptr, name);
  ASSERT_NE(nullptr, display);
  EXPECT_STREQ(L"", display);
  delete[] display;
  EXPECT_EQ(0, object.GetKind());
  EXPECT_EQ(0, object.HasChildren());
  EXPECT_EQ(0, object.IsFileSystem());
}

TEST(TqObjectTest, NamesAreIndependentCopies) {
  wchar_t source[] = L"Spooler";
  Q::TqObject object(source);
  source[0] = L'X';
  wchar_t* a = nullptr;
  wchar_t* b = nullptr;
  object.GetName(&a);
  object.GetDisplayName(&b);
  EXPECT_STREQ(L"Spooler", a);
  EXPECT_STREQ(L"Spooler", b);
  EXPECT_NE(a, b);
  delete[] a;
  delete[] b;
}

TEST(TqObjectTest, BaseEnumerateHasNoChildren) {
  Q::TqObject object(L"x");
  Q::TqObject** children = reinterpret_cast<Q::TqObject**>(1);
  int count = -1;
  object.Enumerate(&children, &count);
  EXPECT_EQ(nullptr, children);
  EXPECT_EQ(0, count);
}

TEST(TqObjectTest, EnumerateHandsOutChildrenInOrderAndDeletesThroughTheBase) {
  g_destroyed = 0;
  Parent parent(3, false);
  Q::TqObject** children = nullptr;
  int count = 0;
  parent.Enumerate(&children, &count);
  ASSERT_EQ(3, count);
  for (int i = 0; i < count; ++i) {
    EXPECT_STREQ(std::to_wstring(i).c_str(), children[i]->Name());
    EXPECT_EQ(Q::kKindService, children[i]->GetKind());
    delete children[i];
  }
  delete[] children;
  EXPECT_EQ(3, g_destroyed);
}

TEST(TqObjectTest, FailureHalfWayLeaksNothing) {
  g_destroyed = 0;
  Parent parent(6, true);
  Q::TqObject** children = nullptr;
  int count = 0;
  EXPECT_THROW(parent.Enumerate(&children, &count), int);
  EXPECT_EQ(3, g_destroyed);
  EXPECT_EQ(nullptr, children);
}

TEST(TqObjectTest, EmptyCollectorGivesNullArray) {
  Q::TqChildren list;
  list.Add(nullptr);
  Q::TqObject** children = reinterpret_cast<Q::TqObject**>(1);
  int count = 5;
  list.Release(&children, &count);
  EXPECT_EQ(nullptr, children);
  EXPECT_EQ(0, count);
}

}  // namespace

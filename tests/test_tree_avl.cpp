// The tree's algorithm layer on hand-built nodes: the rotation rule applied
// again inside a double rotation (directly and through removal
// rebalancing), building a tree from a sorted vector, the descent in both
// key orders, attachment, insertion and removal against a model, the merge
// of two sorted lists and the list threading.  The common shapes are
// covered through CPTree in test_tree.cpp.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <cpcoll/BTree.h>
#include <cpcoll/detail/avl.h>

#include "support/tree_inspector.h"

namespace {

namespace avl = tarncoll::detail::avl;

// Owns hand-built nodes keyed by small numbers.
class Nodes {
 public:
  Leaf* operator()(int k) {
    auto& p = map_[k];
    if (!p) p.reset(new Leaf(reinterpret_cast<void*>(std::uintptr_t(k)), nullptr));
    return p.get();
  }
  // parent gets children l and r (either may be null).
  void Link(int parent, int l, int r) {
    Leaf* p = (*this)(parent);
    p->plfLeft = l ? (*this)(l) : nullptr;
    p->plfRight = r ? (*this)(r) : nullptr;
    if (p->plfLeft) p->plfLeft->plfParent = p;
    if (p->plfRight) p->plfRight->plfParent = p;
  }

 private:
  std::map<int, std::unique_ptr<Leaf>> map_;
};

// Sets every balance from the real heights (a +-2 node keeps its +-2).
int SetBalances(Leaf* plf) {
  if (!plf) return 0;
  int hl = SetBalances(plf->plfLeft);
  int hr = SetBalances(plf->plfRight);
  plf->nBalance = short(hr - hl);
  return 1 + (hl > hr ? hl : hr);
}

std::string Check(Leaf* root) {
  std::vector<const Leaf*> order;
  std::string err;
  CPTreeInspector::CheckSubtree(root, nullptr, &order, &err);
  return err;
}

}  // namespace

TEST(AvlRotate, RuleAppliesAgainInsideTheFirstRotationOfADoubleRotation) {
  //   10[+2]                                25[0]
  //  5     30[-1]                        10[0]   30[+1]
  //      20[+1]  35        =>           5   20      35
  //         25
  // The right child leans left, so it is rotated right first; its left child
  // leans right, so that one is rotated left before: three rotations.  A
  // plain double rotation would put 20 on top instead.
  Nodes n;
  n.Link(10, 5, 30);
  n.Link(30, 20, 35);
  n.Link(20, 0, 25);
  Leaf* root = n(10);
  SetBalances(root);
  ASSERT_EQ(n(10)->nBalance, 2);
  ASSERT_EQ(n(30)->nBalance, -1);
  ASSERT_EQ(n(20)->nBalance, 1);
  avl::RotateLeft(&root, n(10));
  EXPECT_EQ(CPTreeInspector::Shape(root), "25[0](10[0](5[0],20[0]),30[1](-,35[0]))");
  EXPECT_EQ(Check(root), "");

  // Mirror image.
  Nodes m;
  m.Link(90, 70, 95);
  m.Link(70, 65, 80);
  m.Link(80, 75, 0);
  root = m(90);
  SetBalances(root);
  avl::RotateRight(&root, m(90));
  EXPECT_EQ(CPTreeInspector::Shape(root), "75[0](70[-1](65[0],-),90[0](80[0],95[0]))");
  EXPECT_EQ(Check(root), "");
}

TEST(AvlUnlink, LeafRemovalRotatesThroughTheTripleRotation) {
  // Removing 3 makes 10 lean +2 with the shape of the test above.
  Nodes n;
  n.Link(10, 5, 30);
  n.Link(5, 3, 0);
  n.Link(30, 20, 35);
  n.Link(20, 0, 25);
  Leaf* root = n(10);
  SetBalances(root);
  ASSERT_EQ(Check(root), "");
  avl::Unlink(&root, n(3));
  EXPECT_EQ(CPTreeInspector::Shape(root), "25[0](10[0](5[0],20[0]),30[1](-,35[0]))");
  EXPECT_EQ(Check(root), "");
  EXPECT_EQ(n(3)->plfParent, nullptr);  // the removed node's tree links are cleared
}

TEST(AvlBuildTree, SixNodesGetBalancesFromHeightsNotSizes) {
  // The right part (5, 6) is as high as the left part (1, 2, 3), so the top
  // is balanced although its parts differ in size.
  Nodes n;
  std::vector<Leaf*> v;
  for (int k = 1; k <= 6; ++k) v.push_back(n(k));
  long nCount = 0;
  Leaf* root = avl::BuildTree(v.data(), 6, &nCount);
  EXPECT_EQ(CPTreeInspector::Shape(root), "4[0](2[0](1[0],3[0]),5[1](-,6[0]))");
  EXPECT_EQ(Check(root), "");
  EXPECT_EQ(nCount, 0);
}

TEST(AvlBuildTree, EverySizeGivesAValidTreeInOrder) {
  for (long size = 0; size <= 300; ++size) {
    SCOPED_TRACE(size);
    Nodes n;
    std::vector<Leaf*> v;
    for (int k = 1; k <= size; ++k) {
      v.push_back(n(k));
      n(k)->plfParent = n(k);  // stale links must not survive
      n(k)->nBalance = 7;
    }
    long nCount = 0;
    Leaf* root = avl::BuildTree(v.data(), size, &nCount);
    if (size == 0) {
      EXPECT_EQ(root, nullptr);
      continue;
    }
    std::vector<const Leaf*> order;
    std::string err;
    CPTreeInspector::CheckSubtree(root, nullptr, &order, &err);
    ASSERT_EQ(err, "");
    ASSERT_EQ(order.size(), std::size_t(size));
    for (long i = 0; i < size; ++i) EXPECT_EQ(order[std::size_t(i)], v[std::size_t(i)]);
    EXPECT_EQ(root, v[std::size_t(size / 2)]);
  }
}

namespace {

// The list from head along plfNext as keys, checking that plfPrev mirrors it
// and that tail is its last node.
std::string ListKeys(Leaf* head, Leaf* tail) {
  std::string s;
  const Leaf* prev = nullptr;
  for (const Leaf* plf = head; plf != nullptr; plf = plf->plfNext) {
    if (plf->plfPrev != prev) return "broken plfPrev at " + CPTreeInspector::Key(plf);
    s += (s.empty() ? "" : " ") + CPTreeInspector::Key(plf);
    prev = plf;
  }
  if (tail != prev) return "tail is not the last node";
  return s;
}

// The descent and attachment as CPTree's insertion runs them.
void InsertKey(Leaf** root, Leaf* plf) {
  if (*root == nullptr) {
    avl::Attach(root, plf, static_cast<Leaf*>(nullptr), 0);
    return;
  }
  int side = 7;
  Leaf* parent = avl::LocateSlot(*root, plf->pvKey, avl::NumberOrder(), &side);
  ASSERT_NE(side, 0) << "key already present";
  avl::Attach(root, plf, parent, side);
  avl::RebalanceAfterInsert(root, parent);
}

// Appends the node at the tail (the whole list when it is empty).
void Append(Leaf** head, Leaf** tail, Leaf* plf) {
  if (*head == nullptr)
    avl::LinkAlone(head, tail, plf);
  else
    avl::LinkAfter(tail, plf, *tail);
}

const void* K(std::uintptr_t k) { return reinterpret_cast<const void*>(k); }

}  // namespace

TEST(AvlLocate, FindsEveryKeyAndNothingElseUnsignedAtPointerWidth) {
  //        8
  //     4     top      (top = the largest key; negative as a signed number)
  //   2   6
  Nodes n;
  const int top = -1;  // stored as ~0 at pointer width
  n.Link(8, 4, top);
  n.Link(4, 2, 6);
  Leaf* root = n(8);
  SetBalances(root);
  for (int k : {2, 4, 6, 8, top}) EXPECT_EQ(avl::Locate(root, n(k)->pvKey, avl::NumberOrder()), n(k)) << k;
  for (std::uintptr_t k : {0u, 1u, 3u, 5u, 7u, 9u}) EXPECT_EQ(avl::Locate(root, K(k), avl::NumberOrder()), nullptr);
  EXPECT_EQ(avl::Locate(static_cast<Leaf*>(nullptr), K(1), avl::NumberOrder()), nullptr);

  // LocateSlot: an equal key is side 0; an absent one the free link it
  // belongs at.
  int side = 7;
  EXPECT_EQ(avl::LocateSlot(root, K(6), avl::NumberOrder(), &side), n(6));
  EXPECT_EQ(side, 0);
  EXPECT_EQ(avl::LocateSlot(root, K(5), avl::NumberOrder(), &side), n(6));
  EXPECT_EQ(side, -1);
  EXPECT_EQ(avl::LocateSlot(root, K(7), avl::NumberOrder(), &side), n(6));
  EXPECT_EQ(side, 1);
  EXPECT_EQ(avl::LocateSlot(root, K(9), avl::NumberOrder(), &side), n(top));  // 9 < ~0: left of the top key
  EXPECT_EQ(side, -1);
  EXPECT_EQ(avl::LocateSlot(root, K(1), avl::NumberOrder(), &side), n(2));
  EXPECT_EQ(side, -1);
}

TEST(AvlLocate, TextOrderComparesBytesUnsigned) {
  // "b" < "ba" < "z" < "\xe9" (a byte above 0x7f sorts after ASCII).
  Leaf b(const_cast<char*>("b"), nullptr), ba(const_cast<char*>("ba"), nullptr);
  Leaf z(const_cast<char*>("z"), nullptr), hi(const_cast<char*>("\xe9"), nullptr);
  Leaf* root = nullptr;
  for (Leaf* plf : {&z, &b, &hi, &ba}) {
    int side = 0;
    Leaf* parent = root ? avl::LocateSlot(root, plf->pvKey, avl::TextOrder(), &side) : nullptr;
    avl::Attach(&root, plf, parent, side);
    if (parent) avl::RebalanceAfterInsert(&root, parent);
  }
  EXPECT_EQ(CPTreeInspector::Shape(root, true), "z[-1](b[1](-,ba[0]),\xe9[0])");
  // A different buffer with the same text is the same key.
  const char text[] = {'b', 'a', '\0'};
  EXPECT_EQ(avl::Locate(root, text, avl::TextOrder()), &ba);
  EXPECT_EQ(avl::Locate(root, "bb", avl::TextOrder()), nullptr);
  EXPECT_EQ(avl::Locate(root, "", avl::TextOrder()), nullptr);
}

TEST(AvlAttach, LinksBelowTheParentAndCountsTheSideInItsBalance) {
  Nodes n;
  Leaf* root = nullptr;
  avl::Attach(&root, n(5), static_cast<Leaf*>(nullptr), 0);  // no parent: the root
  EXPECT_EQ(root, n(5));
  EXPECT_EQ(n(5)->plfParent, nullptr);
  avl::Attach(&root, n(3), n(5), -1);
  EXPECT_EQ(n(5)->plfLeft, n(3));
  EXPECT_EQ(n(3)->plfParent, n(5));
  EXPECT_EQ(n(5)->nBalance, -1);
  avl::Attach(&root, n(8), n(5), 1);
  EXPECT_EQ(n(5)->plfRight, n(8));
  EXPECT_EQ(n(5)->nBalance, 0);
  EXPECT_EQ(root, n(5));
  EXPECT_EQ(Check(root), "");
}

TEST(AvlInsertUnlink, RandomSequencesKeepEveryInvariant) {
  // Insertion by LocateSlot/Attach/RebalanceAfterInsert and removal by
  // Unlink, checked against a sorted model after every step.
  std::uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1103515245u + 12345u, (seed >> 8) % 97; };
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE(round);
    Nodes n;
    Leaf* root = nullptr;
    std::map<std::uintptr_t, Leaf*> model;
    for (int step = 0; step < 200; ++step) {
      const int k = int(next()) + 1;
      auto it = model.find(std::uintptr_t(k));
      if (it == model.end()) {
        InsertKey(&root, n(k));
        model[std::uintptr_t(k)] = n(k);
      } else {
        avl::Unlink(&root, n(k));
        EXPECT_EQ(n(k)->plfLeft, nullptr);
        EXPECT_EQ(n(k)->plfRight, nullptr);
        EXPECT_EQ(n(k)->plfParent, nullptr);
        model.erase(it);
      }
      std::vector<const Leaf*> order;
      std::string err;
      CPTreeInspector::CheckSubtree(root, nullptr, &order, &err);
      ASSERT_EQ(err, "") << "step " << step;
      ASSERT_EQ(order.size(), model.size());
      std::size_t i = 0;
      for (const auto& kv : model) ASSERT_EQ(order[i++], kv.second);
    }
  }
}

TEST(AvlMergeLists, EqualKeysKeepTheFirstListsNodeAndDropTheOther) {
  // a: 1 3 5 7     b: 2 3 6 8 9     =>  1 2 3(a) 5 6 7 8 9, b's 3 dropped
  Nodes na, nb;
  Leaf* ha = nullptr;
  Leaf* ta = nullptr;
  Leaf* hb = nullptr;
  Leaf* tb = nullptr;
  for (int k : {1, 3, 5, 7}) Append(&ha, &ta, na(k));
  for (int k : {2, 3, 6, 8, 9}) Append(&hb, &tb, nb(k));
  na(5)->plfLeft = na(3);  // stale tree links are cleared
  nb(6)->plfParent = nb(2);
  std::vector<Leaf*> out(9, nullptr);
  std::vector<Leaf*> dropped;
  const long count =
      avl::MergeLists(ha, hb, out.data(), avl::NumberOrder(), [&](Leaf* plf) { dropped.push_back(plf); });
  ASSERT_EQ(count, 8);
  EXPECT_EQ(dropped, std::vector<Leaf*>{nb(3)});
  EXPECT_EQ(out[2], na(3));
  EXPECT_EQ(ListKeys(out[0], out[7]), "1 2 3 5 6 7 8 9");
  for (long i = 0; i < count; ++i) {
    EXPECT_EQ(out[std::size_t(i)]->plfLeft, nullptr);
    EXPECT_EQ(out[std::size_t(i)]->plfParent, nullptr);
  }
  EXPECT_EQ(out[7]->plfNext, nullptr);

  // One list empty: the other is taken whole; both empty: nothing.
  Nodes nc;
  Leaf* hc = nullptr;
  Leaf* tc = nullptr;
  for (int k : {4, 5}) Append(&hc, &tc, nc(k));
  EXPECT_EQ(avl::MergeLists(static_cast<Leaf*>(nullptr), hc, out.data(), avl::NumberOrder(), [](Leaf*) { FAIL(); }), 2);
  EXPECT_EQ(ListKeys(out[0], out[1]), "4 5");
  EXPECT_EQ(avl::MergeLists(static_cast<Leaf*>(nullptr), static_cast<Leaf*>(nullptr), out.data(), avl::NumberOrder(),
                            [](Leaf*) { FAIL(); }),
            0);
}

TEST(AvlListThreading, LinksAtBothEndsAndInTheMiddle) {
  Nodes n;
  Leaf* head = nullptr;
  Leaf* tail = nullptr;
  avl::LinkAlone(&head, &tail, n(5));
  avl::LinkBefore(&head, n(3), n(5));  // at the head
  avl::LinkAfter(&tail, n(9), n(5));   // at the tail
  avl::LinkBefore(&head, n(4), n(5));  // in the middle
  avl::LinkAfter(&tail, n(7), n(5));
  EXPECT_EQ(ListKeys(head, tail), "3 4 5 7 9");

  // 3 <-> 4 <-> 5 <-> 7 <-> 9: unthread the middle, the head, the tail.
  avl::Unthread(&head, &tail, n(5));
  EXPECT_EQ(ListKeys(head, tail), "3 4 7 9");
  EXPECT_EQ(n(5)->plfPrev, n(4));  // the node's own links stay
  EXPECT_EQ(n(5)->plfNext, n(7));
  avl::Unthread(&head, &tail, n(3));
  avl::Unthread(&head, &tail, n(9));
  EXPECT_EQ(ListKeys(head, tail), "4 7");
  avl::Unthread(&head, &tail, n(4));
  avl::Unthread(&head, &tail, n(7));
  EXPECT_EQ(head, nullptr);
  EXPECT_EQ(tail, nullptr);
}

// The AVL pointer surgery on hand-built nodes: the rotation rule applied
// again inside a double rotation (directly and through removal
// rebalancing), and building a tree from a sorted vector.  The common
// shapes are covered through CPTree in test_tree.cpp.
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

// Test support: the O(n) invariant check of CPTree (and CPQueue) and a
// compact picture of a tree's shape.
//
// Check() verifies: every nBalance equals height(right) - height(left) and
// lies in -1..1; every child's plfParent is its parent and the root's is
// null; in-order keys ascend strictly in the tree's order; the list from
// plfHead to plfTail has mirrored links and holds exactly the tree's nodes
// (in in-order sequence when bListInKeyOrder); nLength counts the nodes.
#ifndef TARNCOLL_TESTS_SUPPORT_TREE_INSPECTOR_H
#define TARNCOLL_TESTS_SUPPORT_TREE_INSPECTOR_H

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include <cpcoll/BTree.h>

struct CPTreeInspector {
  // Checks a subtree of hand-built or tree nodes: parents, balances, AVL
  // bound.  Appends the nodes in order.  Returns the height, or -1 with
  // *pstrError set.
  static int CheckSubtree(const Leaf* plf, const Leaf* plfParent, std::vector<const Leaf*>* pvecInOrder,
                          std::string* pstrError, std::size_t nLimit = 10000000) {
    if (plf == nullptr) return 0;
    if (pvecInOrder->size() > nLimit) {
      *pstrError = "more nodes than expected (a cycle?)";
      return -1;
    }
    if (plf->plfParent != plfParent) {
      std::ostringstream os;
      os << "node " << Key(plf) << ": plfParent is " << (plf->plfParent ? Key(plf->plfParent) : std::string("null"))
         << ", expected " << (plfParent ? Key(plfParent) : std::string("null"));
      *pstrError = os.str();
      return -1;
    }
    int hl = CheckSubtree(plf->plfLeft, plf, pvecInOrder, pstrError, nLimit);
    if (hl < 0) return -1;
    pvecInOrder->push_back(plf);
    int hr = CheckSubtree(plf->plfRight, plf, pvecInOrder, pstrError, nLimit);
    if (hr < 0) return -1;
    if (plf->nBalance != hr - hl) {
      std::ostringstream os;
      os << "node " << Key(plf) << ": nBalance " << plf->nBalance << ", real " << (hr - hl);
      *pstrError = os.str();
      return -1;
    }
    if (plf->nBalance < -1 || plf->nBalance > 1) {
      std::ostringstream os;
      os << "node " << Key(plf) << ": out of AVL balance " << plf->nBalance;
      *pstrError = os.str();
      return -1;
    }
    return 1 + (hl > hr ? hl : hr);
  }

  // "" when every invariant holds, else the first broken one.
  static std::string Check(const CPTree& t, bool bListInKeyOrder = true) {
    std::string strError;
    std::vector<const Leaf*> vecInOrder;
    if (CheckSubtree(t.plfRoot, nullptr, &vecInOrder, &strError) < 0) return strError;
    for (std::size_t i = 1; i < vecInOrder.size(); ++i)
      if (!t.IsGreaterThan(vecInOrder[i]->pvKey, vecInOrder[i - 1]->pvKey))
        return "in-order keys do not ascend at " + Key(vecInOrder[i]);
    if (t.nLength != vecInOrder.size())
      return "nLength " + std::to_string(t.nLength) + " but " + std::to_string(vecInOrder.size()) + " nodes";

    std::vector<const Leaf*> vecList;
    const Leaf* plfPrev = nullptr;
    for (const Leaf* plf = t.plfHead; plf != nullptr; plf = plf->plfNext) {
      if (plf->plfPrev != plfPrev) return "plfPrev does not mirror plfNext at " + Key(plf);
      if (vecList.size() > vecInOrder.size()) return "the list is longer than the tree";
      vecList.push_back(plf);
      plfPrev = plf;
    }
    if (t.plfTail != plfPrev) return "plfTail is not the last node of the list";
    if (vecList.size() != vecInOrder.size())
      return "the list has " + std::to_string(vecList.size()) + " nodes, the tree " + std::to_string(vecInOrder.size());
    if (bListInKeyOrder) {
      if (vecList != vecInOrder) return "the list is not the in-order sequence";
    } else {
      // Equal counts, distinct keys: every list node found by its key is
      // the same node in both.
      for (const Leaf* plf : vecList)
        if (t.FindLeaf(plf->pvKey, 0) != plf) return "list node " + Key(plf) + " is not the tree's node of its key";
    }
    return "";
  }

  // Shape picture: key[balance](left,right), "-" for a missing child,
  // leaves without parentheses.  Keys print as numbers or texts.
  static std::string Shape(const CPTree& t) { return Shape(t.plfRoot, t.etdsState == etreeString); }
  static std::string Shape(const Leaf* plf, bool bText = false) {
    if (plf == nullptr) return "-";
    std::string s = Key(plf, bText) + "[" + std::to_string(plf->nBalance) + "]";
    if (plf->plfLeft != nullptr || plf->plfRight != nullptr)
      s += "(" + Shape(plf->plfLeft, bText) + "," + Shape(plf->plfRight, bText) + ")";
    return s;
  }

  static std::string Key(const Leaf* plf, bool bText = false) {
    if (bText) return static_cast<const char*>(plf->pvKey);
    return std::to_string(reinterpret_cast<std::uintptr_t>(plf->pvKey));
  }

  static Leaf* Cursor(const CPTree& t) { return t.plfCursor; }
};

#endif

// Test support: the invariant check of CrTree: the wrapped tree is sound
// (CPTreeInspector), carries exactly our one reference, and every node
// holds a live, non-null object.
#ifndef TARNCOLL_TESTS_SUPPORT_CRTREE_INSPECTOR_H
#define TARNCOLL_TESTS_SUPPORT_CRTREE_INSPECTOR_H

#include <string>

#include <cpcoll/crtree.h>

#include "tree_inspector.h"

struct CrTreeInspector {
  static std::string Check(const CrTree& t) {
    if (t.ptreeThe == nullptr) return "no wrapped tree";
    if (t.ptreeThe->_get_nRefCount() != 1) return "the wrapped tree's count is not 1";
    std::string err = CPTreeInspector::Check(*t.ptreeThe);
    if (!err.empty()) return err;
    for (Leaf* plf = t.ptreeThe->_get_plfHead(); plf; plf = plf->plfNext) {
      if (plf->pvData == nullptr) return "a node holds no object";
      if (static_cast<Createable*>(plf->pvData)->_get_nRefCount() == 0) return "an object without references";
    }
    return "";
  }
  static CPTree* Tree(const CrTree& t) { return t.ptreeThe; }
};

#endif

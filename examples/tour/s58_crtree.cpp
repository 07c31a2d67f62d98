// Tour section: the reference tree (objects counted in and out, key order).
#include <cpcoll/crtree.h>
#include <util/CPString.h>

#include "tour.h"

TOUR_SECTION(58, "CrTree: reference-counted objects in key order") {
  CrTree* ptree = new CrTree;
  ptree->AddRef();
  CPString* pstrA = new CPString("object under key 20");
  CPString* pstrB = new CPString("object under key 10");
  ptree->AddKeyNum(20, pstrA);
  ptree->AddKeyNum(10, pstrB);
  std::printf("the tree holds %lu objects; a second add under key 10 returns %d\n", ptree->Length(),
              ptree->AddKeyNum(10, pstrA));
  for (ptree->GotoTop(); ptree->Retrieve(); ptree->Next())
    std::printf("  %s (references: %u)\n", static_cast<CPString*>(ptree->Retrieve())->GetBuffer(),
                unsigned(ptree->Retrieve()->_get_nRefCount()));
  ptree->RemoveKeyNum(10);  // its last reference: the string is gone
  std::printf("after RemoveKeyNum(10): %lu object left\n", ptree->Length());
  ptree->Release();  // releases the remaining object, then the tree
}

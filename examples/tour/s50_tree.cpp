// Tour section: the ordered tree (numeric keys, string keys, merging).
#include <cstdint>

#include <cpcoll/BTree.h>
#include <util/CPString.h>

#include "tour.h"

namespace {
void PrintItem(void* pvItem, void* pvUser) {
  std::printf("%s%s", static_cast<const char*>(pvUser), static_cast<const char*>(pvItem));
}
}  // namespace

TOUR_SECTION(50, "CPTree: an AVL tree threaded in key order") {
  // Numeric keys, added out of order, come back in key order.
  CPTree* ptree = new CPTree;  // library objects come back null when memory runs out
  if (!ptree) return;
  const char* apszNames[] = {"five", "one", "four", "two", "three"};
  const unsigned long anKeys[] = {5, 1, 4, 2, 3};
  for (int i = 0; i < 5; ++i) ptree->AddKeyNum(anKeys[i], const_cast<char*>(apszNames[i]));
  std::printf("walked in key order:");
  ptree->ForEach(PrintItem, const_cast<char*>(" "));
  std::printf("\nroot key %lu, balance %d; smallest \"%s\", largest \"%s\"\n",
              static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(ptree->_get_plfRoot()->pvKey)),
              ptree->_get_plfRoot()->nBalance, static_cast<const char*>(ptree->Smallest()),
              static_cast<const char*>(ptree->Largest()));
  ptree->DetachKeyNum(4);
  std::printf("after removing key 4, key 3 finds \"%s\", key 4 finds %s\n",
              static_cast<const char*>(ptree->FindKeyNum(3)), ptree->FindKeyNum(4) ? "something" : "nothing");

  // String keys: a CPString key is registered once for every tree, so its
  // text stays valid while any tree uses it.
  CPTree* pnames = new CPTree;
  CPString* pstrKey = new CPString("pear");
  if (!pnames || !pstrKey) {
    delete pnames;
    delete pstrKey;
    delete ptree;
    return;
  }
  pstrKey->AddRef();
  pnames->AddKeyString(pstrKey, const_cast<char*>("a green fruit"));
  pnames->AddKeyString("apple", const_cast<char*>("a red fruit"), nullptr);
  pnames->AddKeyString("fig", const_cast<char*>("a sweet fruit"), nullptr);
  std::printf("string keys in byte order:");
  for (pnames->GotoTop(); pnames->Retrieve(); pnames->Next())
    std::printf(" %s", static_cast<const char*>(pnames->RetrieveLeaf()->pvKey));
  std::printf("\n\"pear\" is %s\n", static_cast<const char*>(pnames->FindKeyString("pear", nullptr)));
  pnames->DetachKeyString(pstrKey);  // also ends the registration
  pstrKey->Release();
  delete pnames;

  // Merging moves every node of one tree into another in linear time; an
  // equal key keeps the receiver's item.
  CPTree* pother = new CPTree;
  if (!pother) {
    delete ptree;
    return;
  }
  pother->AddKeyNum(4, const_cast<char*>("FOUR"));
  pother->AddKeyNum(6, const_cast<char*>("six"));
  pother->AddKeyNum(1, const_cast<char*>("ONE"));
  ptree->Merge(pother);
  std::printf("merged:");
  ptree->ForEach(PrintItem, const_cast<char*>(" "));
  std::printf("\nthe source tree now holds %lu items\n", pother->Length());
  delete pother;
  delete ptree;
}

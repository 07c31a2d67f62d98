// Tour section: the modern layer — range-for, algorithms, typed façades,
// Ref<T> and the string forms of the text outputs.
#include <cpcoll/Cpdict.h>
#include <cpcoll/cplist.h>
#include <cpcoll/crlist.h>
#include <cpcoll/modern.h>
#include <cpcoll/trackable.h>
#include <util/CPString.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "tour.h"

namespace {
struct Tree {
  const char* pszName;
  int nHeight;  // metres
};
}  // namespace

TOUR_SECTION(90, "Modern layer: range-for, typed containers, Ref<T>, strings") {
  static Tree trees[] = {{"oak", 25}, {"birch", 18}, {"yew", 12}, {"larch", 30}};

  // Any classic collection works with range-for and <algorithm>.
  CPList lst;
  for (Tree& t : trees) lst.Add(&t);
  std::printf("range-for over a CPList:");
  for (void* pv : lst) std::printf(" %s", static_cast<Tree*>(pv)->pszName);
  std::printf("\n");
  auto itTall = std::find_if(begin(lst), end(lst), [](void* pv) { return static_cast<Tree*>(pv)->nHeight > 20; });
  std::printf("first taller than 20 m: %s\n", static_cast<Tree*>(*itTall)->pszName);

  // The iterators fail fast, like every cursor of the library.
  try {
    for (void* pv : lst)
      if (pv == &trees[1]) lst.Detach(pv);
  } catch (unsigned int n) {
    std::printf("changing the list inside the loop throws 0x%X\n", n);
  }

  // Typed façades: the same containers, with T* instead of void*.
  tarncoll::TypedDictionary<Tree> byName;
  tarncoll::TypedTree<Tree> byHeight;
  for (Tree& t : trees) {
    byName.AddKeyString(t.pszName, &t);
    byHeight.AddKeyNum(static_cast<unsigned long>(t.nHeight), &t);
  }
  std::printf("yew is %d m; by height:", byName.FindKeyString("yew")->nHeight);
  for (Tree* p : byHeight) std::printf(" %s", p->pszName);
  std::string sKeys = byName.StringKeyList();  // "key\r\n" per entry
  std::replace(sKeys.begin(), sKeys.end(), '\r', ' ');
  std::replace(sKeys.begin(), sKeys.end(), '\n', ' ');
  std::printf("\nkeys of the dictionary, as one string: %s\n", sKeys.c_str());

  // Ref<T> holds one reference; the object goes with the last one.
  tarncoll::Ref<CPString> name = tarncoll::MakeRef<CPString>("rowan");
  {
    CrList crl;  // a reference collection takes its own reference
    crl.Add(name.get());
    std::printf("'%s' is held %u times;", name->GetBuffer(), static_cast<unsigned>(name->_get_nRefCount()));
    for (Createable* pcr : crl)  // a snapshot that holds the objects meanwhile
      std::printf(" during the loop %u times;", static_cast<unsigned>(pcr->_get_nRefCount()));
  }
  std::printf(" now %u time\n", static_cast<unsigned>(name->_get_nRefCount()));

  // The tracking report as a string: no buffer to size.  Like Report it
  // also sends each line to the Exceptions sink (stderr by default).
  Trackable::AllocateObject("Tree", sizeof(Tree));
  std::fflush(stdout);
  std::string sReport = tarncoll::TrackingReport();
  std::printf("tracking report: %zu characters, %ld lines\n", sReport.size(),
              static_cast<long>(std::count(sReport.begin(), sReport.end(), '\n')));
  Trackable::DeAllocateObject("Tree", sizeof(Tree));
}

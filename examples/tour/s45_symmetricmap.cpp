// Tour section: a symmetric map looked up from both sides.
#include <cpcoll/CPSymmetricMap.h>
#include <cpcoll/crlist.h>
#include <cpcoll/tarncoll.h>

#include "tour.h"

namespace {

void PrintAll(const char* pszTitle, CrList& crlst) {
  std::printf("%s", pszTitle);
  for (unsigned long i = 0; i < crlst.Length(); ++i) {
    MapKeyPair* pmkp = dynamic_cast<MapKeyPair*>(crlst.RetrieveIDX(i));
    if (pmkp) std::printf(" %s=%s", pmkp->_get_strA().GetBuffer(), pmkp->_get_strB().GetBuffer());
  }
  std::printf("\n");
}

}  // namespace

TOUR_SECTION(45, "Symmetric map: pairs of texts found from either side") {
  CPSymmetricMap map;
  map.AddMapping("en", "hello", nullptr);
  map.AddMapping("fr", "bonjour", nullptr);
  map.AddMapping("en", "hi", nullptr);  // a second mapping for "en"
  map.AddMapping("de", "hi", nullptr);  // and a second one for "hi"

  CPString strKey, strOther;
  strKey = "fr";
  map.RetrieveA(&strKey, &strOther);
  std::printf("A \"fr\" -> B \"%s\"\n", strOther.GetBuffer());
  strKey = "bonjour";
  map.RetrieveB(&strKey, &strOther);
  std::printf("B \"bonjour\" -> A \"%s\"\n", strOther.GetBuffer());
  strKey = "en";
  map.RetrieveA(&strKey, &strOther);
  std::printf("A \"en\" -> B \"%s\" (the first mapping added wins)\n", strOther.GetBuffer());

  CrList crlstAll;
  map.GetAllThatMatchKeyA(CPString("en"), crlstAll);
  PrintAll("every mapping with A \"en\":", crlstAll);
  map.GetAllThatMatchKeyB(CPString("hi"), crlstAll);
  PrintAll("every mapping with B \"hi\":", crlstAll);

  map.Clear();
  map.GetAllThatMatchKeyA(CPString("fr"), crlstAll);
  std::printf("after Clear, A \"fr\" has %lu mappings\n", crlstAll.Length());
}

// Tour section: reference-holding collections share objects and count them.
#include <cpcoll/crdict.h>
#include <cpcoll/crlist.h>
#include <cpcoll/tarncoll.h>

#include "tour.h"

namespace {

// A reference-counted object that announces its own end.
class Tool : public Createable {
 public:
  explicit Tool(const char* pszName) : strName(pszName) {}
  ~Tool() override { std::printf("  (%s is destroyed)\n", strName.GetBuffer()); }
  const char* Name() const { return strName.GetBuffer(); }

 private:
  CPString strName;
};

void Show(const char* pszWhen, Tool* pHammer, Tool* pSaw) {
  std::printf("%-40s hammer %u, saw %u\n", pszWhen, unsigned(pHammer->_get_nRefCount()),
              unsigned(pSaw->_get_nRefCount()));
}

}  // namespace

TOUR_SECTION(40, "Reference collections: one object, several holders") {
  Tool* pHammer = new Tool("hammer");
  Tool* pSaw = new Tool("saw");
  pSaw->AddRef();  // the tour keeps the saw for itself
  Show("new (the tour holds the saw):", pHammer, pSaw);

  CrList* pcrlstToolbox = new CrList;
  CrDictionary* pcrdctByName = new CrDictionary;
  pcrlstToolbox->Add(pHammer);
  pcrlstToolbox->Add(pSaw);
  Show("in the toolbox list:", pHammer, pSaw);
  pcrdctByName->AddKeyString(pHammer->Name(), pHammer, nullptr);
  pcrdctByName->AddKeyString(pSaw->Name(), pSaw, nullptr);
  Show("also in the dictionary by name:", pHammer, pSaw);

  short nAgain = pcrdctByName->AddKeyString("hammer", pSaw, nullptr);
  std::printf("adding the saw under \"hammer\" again gives %d: the key is taken\n", nAgain);
  Show("so nobody gained a reference:", pHammer, pSaw);

  Tool* pFound = static_cast<Tool*>(pcrdctByName->FindKeyString("saw", nullptr));
  std::printf("FindKeyString(\"saw\") lends %s without a reference\n", pFound->Name());

  pcrdctByName->DetachKeyString("saw", nullptr);
  Show("detached: its reference is now ours:", pHammer, pSaw);
  pSaw->Release();  // the detach handed that reference to the tour
  Show("after releasing the detached reference:", pHammer, pSaw);

  pcrlstToolbox->Remove(pHammer);
  Show("hammer removed from the toolbox:", pHammer, pSaw);

  std::printf("destroying the dictionary, which holds the hammer's last reference:\n");
  delete pcrdctByName;
  std::printf("destroying the toolbox:\n");
  delete pcrlstToolbox;
  std::printf("the saw still has %u reference (the tour's)\n", unsigned(pSaw->_get_nRefCount()));
  pSaw->Release();
}

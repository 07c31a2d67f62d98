#include <cpcoll/CrCollection.h>

CrCollection::~CrCollection() {}
CrFlatCollection::~CrFlatCollection() {}
CrKeyedCollection::~CrKeyedCollection() {}

void CrCollection::itReleaseCreateable(void* pvObject, void* /*pvUser*/) {
  if (pvObject != nullptr) static_cast<Createable*>(pvObject)->Release();
}

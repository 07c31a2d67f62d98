// Tour section: the dictionary with string keys and with numeric keys.
#include <cpcoll/tarncoll.h>
#include <cpcoll/Cpdict.h>

#include "tour.h"

namespace {
void PrintEntry(void* pvItem, void*, void* pvKey) {
  std::printf("  %-8s -> %s\n", static_cast<CPString*>(pvKey)->GetBuffer(), static_cast<char*>(pvItem));
}
}  // namespace

TOUR_SECTION(20, "Dictionary: 256 CRC-16 slots, string and numeric keys") {
  static char capitals[][12] = {"Oslo", "Lima", "Hanoi", "Quito"};
  static const char* countries[] = {"Norway", "Peru", "Vietnam", "Ecuador"};

  // String keys: the slot is the low byte of the key text's CRC-16.
  CPDictionary* pdct = new CPDictionary(256);
  if (!pdct) return;
  for (int i = 0; i < 4; ++i) pdct->AddKeyString(countries[i], capitals[i], nullptr);
  pdct->AddKeyString("Peru", capitals[0], nullptr);  // present: ignored
  std::printf("%lu countries; Peru -> %s\n", pdct->Length(), static_cast<char*>(pdct->FindKeyString("Peru", nullptr)));
  CPString strKey("Vietnam");  // a CPString brings its CRC along
  std::printf("Vietnam (CRC 0x%04X, slot %u) -> %s\n", unsigned(strKey._get_nCRC()), unsigned(strKey._get_nCRC() & 0xFF),
              static_cast<char*>(pdct->FindKeyString(&strKey)));
  std::printf("walk in slot order:\n");
  pdct->ForEach(&PrintEntry, nullptr);
  pdct->DetachKeyString("Lima", nullptr);  // absent key: nothing happens
  pdct->DetachKeyString("Peru", nullptr);
  std::printf("after removing Peru: %lu, Peru present: %ld\n", pdct->Length(), pdct->ExistsKeyString("Peru", nullptr));
  delete pdct;

  // Numeric keys: the slot is the key's low byte, so 1, 257 and 513 share
  // slot 1 and keep their order of addition.
  static char words[][8] = {"one", "two", "257", "513"};
  pdct = new CPDictionary(256);
  if (!pdct) return;
  pdct->AddKeyNum(513, words[3]);
  pdct->AddKeyNum(2, words[1]);
  pdct->AddKeyNum(1, words[0]);
  pdct->AddKeyNum(257, words[2]);
  std::printf("numeric keys by position:");
  for (unsigned long i = 0; i < pdct->Length(); ++i) std::printf(" %s", static_cast<char*>(pdct->RetrieveIDX(i)));
  std::printf("\nbuilt-in cursor:");
  for (pdct->GotoTop(); void* pv = pdct->Retrieve(); pdct->Next()) std::printf(" %s", static_cast<char*>(pv));
  std::printf("\nkey 257 -> %s; key 769 -> %s\n", static_cast<char*>(pdct->FindKeyNum(257)),
              pdct->FindKeyNum(769) ? "found" : "(none)");
  delete pdct;
}

// Internal: what the reference dictionary and the symmetric map do to the
// entries of a wrapped CPDictionary beyond its own operations (which only
// add and remove by key).  A friend of CPDictionary and CrDictionary.
#ifndef TARNCOLL_CPCOLL_DETAIL_DICT_ENTRY_ACCESS_H
#define TARNCOLL_CPCOLL_DETAIL_DICT_ENTRY_ACCESS_H

#include <cpcoll/Cpdict.h>
#include <cpcoll/crdict.h>

struct tarncoll::detail::DictionaryEntryAccess {
  // The entry under strKey holds pcrOld: it holds pcrNew instead.  The
  // entry's reference moves from pcrOld to pcrNew.
  static void SwitchValue(CrDictionary& crdct, CPString& strKey, Createable* pcrOld, Createable* pcrNew) {
    unsigned long nCRC = strKey._get_nCRC();
    CPDictionary* pdct = crdct.pdctThe;
    CPDictionaryAssociation* pda = pdct->FindDAKeyString(strKey.GetBuffer(), &nCRC, nullptr);
    pda->SetValue(pcrNew);
    pcrNew->AddRef();
    ++pdct->nXACT;  // a change, as for any removal or addition
    pcrOld->Release();
  }
  // Removes, without handing its item anywhere, the entry that the latest
  // add linked into the slot: the slot list's last node.  Undoes an add
  // exactly, also where no lookup finds the entry again (an empty text is
  // stored as "UnNamed").
  static void DropNewest(CrDictionary& crdct, unsigned long slot) {
    CPDictionary* pdct = crdct.pdctThe;
    pdct->RemoveEntry(slot, pdct->arplstSlots[slot]->_get_pbktTail(), nullptr);
  }
  // The slot a text key is filed in when its CRC is the text's own.
  static unsigned long TextSlot(const char* text) { return CPDictionary::KeyCRC(text, nullptr) & 0xFF; }
};

#endif

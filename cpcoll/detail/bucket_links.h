// Internal: the pointer surgery of the doubly linked list, on plain node
// pointers.  The list classes do all their linking and unlinking through
// these three functions; they touch no counts and no references.
#ifndef TARNCOLL_CPCOLL_DETAIL_BUCKET_LINKS_H
#define TARNCOLL_CPCOLL_DETAIL_BUCKET_LINKS_H

#include <cpcoll/cplist.h>

namespace tarncoll_detail {

// Links the unlinked node after pbktPos, or as the new head when pbktPos
// is null.  O(1).
inline void LinkAfter(CPBucket*& pbktHead, CPBucket*& pbktTail, CPBucket* pbktPos, CPBucket* pbkt) {
  CPBucket* pbktSucc = pbktPos ? pbktPos->_get_pbktNext() : pbktHead;
  pbkt->_set_pbktPrev(pbktPos);
  pbkt->_set_pbktNext(pbktSucc);
  if (pbktPos)
    pbktPos->_set_pbktNext(pbkt);
  else
    pbktHead = pbkt;
  if (pbktSucc)
    pbktSucc->_set_pbktPrev(pbkt);
  else
    pbktTail = pbkt;
}

// Links the unlinked node before pbktPos, or as the new tail when pbktPos
// is null.  O(1).
inline void LinkBefore(CPBucket*& pbktHead, CPBucket*& pbktTail, CPBucket* pbktPos, CPBucket* pbkt) {
  LinkAfter(pbktHead, pbktTail, pbktPos ? pbktPos->_get_pbktPrev() : pbktTail, pbkt);
}

// Unlinks a linked node: its neighbours (or head/tail) are joined and its
// own links cleared.  O(1).
inline void Unlink(CPBucket*& pbktHead, CPBucket*& pbktTail, CPBucket* pbkt) {
  CPBucket* pbktPred = pbkt == pbktHead ? nullptr : pbkt->_get_pbktPrev();
  CPBucket* pbktSucc = pbkt->_get_pbktNext();
  if (pbktPred)
    pbktPred->_set_pbktNext(pbktSucc);
  else
    pbktHead = pbktSucc;
  if (pbktSucc)
    pbktSucc->_set_pbktPrev(pbktPred);
  else
    pbktTail = pbktPred;
  pbkt->_set_pbktPrev(nullptr);
  pbkt->_set_pbktNext(nullptr);
}

}  // namespace tarncoll_detail

#endif

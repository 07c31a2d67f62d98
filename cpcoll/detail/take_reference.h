// Internal: the reference a reference collection takes on an object it has
// just stored.  The object's own AddRef may throw; undo() then takes the
// entry out again (without a release) before the exception goes on, so a
// collection never holds an object without its reference.
#ifndef TARNCOLL_CPCOLL_DETAIL_TAKE_REFERENCE_H
#define TARNCOLL_CPCOLL_DETAIL_TAKE_REFERENCE_H

#include <util/Createable.h>

namespace tarncoll::detail {

template <class Undo>
void TakeReference(Createable* object, Undo undo) {
  try {
    object->AddRef();
  } catch (...) {
    undo();
    throw;
  }
}

}  // namespace tarncoll::detail

#endif

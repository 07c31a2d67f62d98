/// \file
/// The modern layer: header-only conveniences over the classic interface,
/// for new code.  Old code is untouched by it; everything here forwards to
/// the library's own classes.
///
/// ~~~
///   modern_iter.h              begin/end for every CPCollection (fail-fast
///                              forward iterators on the collection's own
///                              cursor objects) and every CrCollection (a
///                              referenced snapshot); Entries(), Nodes(),
///                              Objects<T>(); in C++20 every container is
///                              a std::ranges::forward_range
///   modern_typed_list.h        TypedList<T>        CPList of T*
///   modern_typed_dictionary.h  TypedDictionary<T>  CPDictionary of T*
///   modern_typed_tree.h        TypedTree<T>        CPTree of T*
///   modern_ref.h               Ref<T>, MakeRef<T>()  reference-holding handle
///   modern_text.h              StringKeyList(), TrackingReport() as strings
/// ~~~
///
/// Everything lives in namespace tarncoll, except the begin/end overloads
/// for the classic collections, which sit beside those classes in the global
/// namespace so that argument-dependent lookup finds them.

/// \namespace tarncoll
/// The modern layer: Ref, the typed containers, the iterators and ranges,
/// and the string forms of the text outputs.
#ifndef TARNCOLL_CPCOLL_MODERN_H
#define TARNCOLL_CPCOLL_MODERN_H

#include <cpcoll/modern_iter.h>
#include <cpcoll/modern_ref.h>
#include <cpcoll/modern_text.h>
#include <cpcoll/modern_typed_dictionary.h>
#include <cpcoll/modern_typed_list.h>
#include <cpcoll/modern_typed_tree.h>

#endif

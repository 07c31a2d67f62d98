/// \file
/// Symbol visibility for the tarncoll shared library.
///
/// The library is built with -fvisibility=hidden; every public class and
/// every exported datum carries TARNCOLL_API so that exactly those are
/// visible to programs that load the library.
///
/// \def TARNCOLL_API
/// Gives a class or datum default visibility, so that the library exports
/// it (empty for compilers without visibility attributes).
#ifndef TARNCOLL_UTIL_EXPORT_H
#define TARNCOLL_UTIL_EXPORT_H

#if defined(__GNUC__) || defined(__clang__)
#define TARNCOLL_API __attribute__((visibility("default")))
#else
#define TARNCOLL_API
#endif

#endif

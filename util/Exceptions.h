/// \file
/// Exceptions: the diagnostics and assertion service.
///
/// Assert and FailIfNIL report a broken precondition or a null allocation:
/// the report goes to the installed sink, then an AssertionFailure is
/// thrown, so a report never returns into the operation that made it.
/// Message and Comment only emit a diagnostic line.
#ifndef TARNCOLL_UTIL_EXCEPTIONS_H
#define TARNCOLL_UTIL_EXCEPTIONS_H

#include <stdexcept>

#include <util/export.h>

/// Receives every diagnostic.  kind: 0 Message, 1 Comment, 2 Assert,
/// 3 FailIfNIL (Exceptions::eMessage ...).  file and line are null/0 for
/// Message.  text is the caller's text, unchanged.
typedef void (*ExceptionsSink)(int kind, const char* file, long line, const char* text);

/// Thrown by Exceptions::Assert and Exceptions::FailIfNIL, after the sink
/// has seen the report.  what() reads "assertion failed: <expression>
/// (<file>, line <line>)", or "null result: ..." for FailIfNIL.
class TARNCOLL_API AssertionFailure : public std::logic_error {
 public:
  /// Keeps the three pointers as given (not copied) and composes what().
  AssertionFailure(const char* pszFile, long nLine, const char* pszExpr, bool bFailIfNil);

  const char* file;        ///< source module, e.g. "cpcoll\\cplist"
  long line;               ///< source line of the report
  const char* expression;  ///< the exact text the caller passed
  bool failIfNil;          ///< true for FailIfNIL, false for Assert
};

/// The process-wide diagnostics service: every report of the library goes
/// through its one instance to the installed ExceptionsSink.
class TARNCOLL_API Exceptions {
 public:
  /// The kind a sink receives: eMessage (0) Message, eComment (1) Comment,
  /// eAssert (2) Assert, eFailIfNIL (3) FailIfNIL.
  enum { eMessage = 0, eComment = 1, eAssert = 2, eFailIfNIL = 3 };

  /// The process-wide instance.
  static Exceptions* _get_gexeptnsThe();

  /// Reports a broken precondition: passes (eAssert, pszFile, nLine,
  /// pszExpr) to the sink, then throws AssertionFailure.  Never returns.
  [[noreturn]] void Assert(const char* pszFile, long nLine, const char* pszExpr);
  /// Reports a null result (pszExpr names it, e.g. "pbktNew"): as Assert,
  /// with eFailIfNIL.  Never returns.
  [[noreturn]] void FailIfNIL(const char* pszFile, long nLine, const char* pszExpr);
  /// Passes pszText to the sink as a Message (no file, line 0).  The
  /// default sink writes it to stderr unchanged.
  void Message(const char* pszText);
  /// Passes pszText with its source place to the sink as a Comment.  The
  /// default sink writes "file(line): text" to stderr.
  void Comment(const char* pszFile, long nLine, const char* pszText);

  /// Installs a sink and returns the previous one; null restores the
  /// default, which writes Message and Comment texts to stderr.
  static ExceptionsSink SetSink(ExceptionsSink pfnSink);

  /// Copies nothing (there is no instance data).
  Exceptions& operator=(const Exceptions&) { return *this; }
};

#endif

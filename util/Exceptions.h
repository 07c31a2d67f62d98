// Exceptions: the diagnostics and assertion service.
//
// Assert and FailIfNIL report a broken precondition or a null allocation:
// the report goes to the installed sink, then an AssertionFailure is
// thrown, so a report never returns into the operation that made it.
// Message and Comment only emit a diagnostic line.
#ifndef TARNCOLL_UTIL_EXCEPTIONS_H
#define TARNCOLL_UTIL_EXCEPTIONS_H

#include <stdexcept>

#include <util/export.h>

// Receives every diagnostic.  kind: 0 Message, 1 Comment, 2 Assert,
// 3 FailIfNIL.  file and line are null/0 for Message.  text is the
// caller's text, unchanged.
typedef void (*ExceptionsSink)(int kind, const char* file, long line, const char* text);

// Thrown by Exceptions::Assert and Exceptions::FailIfNIL.
class TARNCOLL_API AssertionFailure : public std::logic_error {
 public:
  AssertionFailure(const char* pszFile, long nLine, const char* pszExpr, bool bFailIfNil);

  const char* file;        // source module, e.g. "cpcoll\\cplist"
  long line;               // source line of the report
  const char* expression;  // the exact text the caller passed
  bool failIfNil;          // true for FailIfNIL, false for Assert
};

class TARNCOLL_API Exceptions {
 public:
  enum { eMessage = 0, eComment = 1, eAssert = 2, eFailIfNIL = 3 };

  // The process-wide instance.
  static Exceptions* _get_gexeptnsThe();

  [[noreturn]] void Assert(const char* pszFile, long nLine, const char* pszExpr);
  [[noreturn]] void FailIfNIL(const char* pszFile, long nLine, const char* pszExpr);
  void Message(const char* pszText);
  void Comment(const char* pszFile, long nLine, const char* pszText);

  // Installs a sink and returns the previous one; null restores the
  // default, which writes Message and Comment texts to stderr.
  static ExceptionsSink SetSink(ExceptionsSink pfnSink);

  Exceptions& operator=(const Exceptions&) { return *this; }
};

#endif

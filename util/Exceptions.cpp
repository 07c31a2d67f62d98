#include <util/Exceptions.h>

#include <atomic>
#include <cstdio>
#include <string>

namespace {

void DefaultSink(int kind, const char* file, long line, const char* text) {
  if (kind == Exceptions::eMessage) {
    std::fputs(text ? text : "", stderr);
  } else if (kind == Exceptions::eComment) {
    std::fprintf(stderr, "%s(%ld): %s", file ? file : "", line, text ? text : "");
  }
}

std::atomic<ExceptionsSink> g_pfnSink{&DefaultSink};

std::string Describe(const char* file, long line, const char* expr, bool failIfNil) {
  std::string s = failIfNil ? "null result: " : "assertion failed: ";
  s += expr ? expr : "";
  s += " (";
  s += file ? file : "";
  s += ", line " + std::to_string(line) + ")";
  return s;
}

}  // namespace

AssertionFailure::AssertionFailure(const char* pszFile, long nLine, const char* pszExpr, bool bFailIfNil)
    : std::logic_error(Describe(pszFile, nLine, pszExpr, bFailIfNil)),
      file(pszFile),
      line(nLine),
      expression(pszExpr),
      failIfNil(bFailIfNil) {}

Exceptions* Exceptions::_get_gexeptnsThe() {
  static Exceptions theInstance;
  return &theInstance;
}

void Exceptions::Assert(const char* pszFile, long nLine, const char* pszExpr) {
  g_pfnSink.load()(eAssert, pszFile, nLine, pszExpr);
  throw AssertionFailure(pszFile, nLine, pszExpr, false);
}

void Exceptions::FailIfNIL(const char* pszFile, long nLine, const char* pszExpr) {
  g_pfnSink.load()(eFailIfNIL, pszFile, nLine, pszExpr);
  throw AssertionFailure(pszFile, nLine, pszExpr, true);
}

void Exceptions::Message(const char* pszText) { g_pfnSink.load()(eMessage, nullptr, 0, pszText); }

void Exceptions::Comment(const char* pszFile, long nLine, const char* pszText) {
  g_pfnSink.load()(eComment, pszFile, nLine, pszText);
}

ExceptionsSink Exceptions::SetSink(ExceptionsSink pfnSink) {
  return g_pfnSink.exchange(pfnSink ? pfnSink : &DefaultSink);
}

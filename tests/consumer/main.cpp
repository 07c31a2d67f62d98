// Uses the installed library through its public headers only: texts, CRCs,
// reference counting across the library boundary, containers (including the
// header-only modern layer), and the error model.
// Prints one line per check and exits non-zero when any check fails.
#include <cpcoll/tarncoll.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

int g_failures = 0;

void Check(bool ok, const char* what) {
  std::printf("%s: %s\n", ok ? "ok  " : "FAIL", what);
  if (!ok) ++g_failures;
}

// A class of the program's own, deleted by the library's Release through
// its virtual destructor.
int g_destroyed = 0;
class Note : public Createable {
 public:
  ~Note() override { ++g_destroyed; }
};

int g_sinkKind = -1;
const char* g_sinkText = nullptr;
void RecordingSink(int kind, const char*, long, const char* text) {
  g_sinkKind = kind;
  g_sinkText = text;
}

void Crc() {
  crc16 crc;
  unsigned short value = 0;
  long len = 0;
  Check(crc.Calc("123456789", &value, &len) == 1 && value == 0xBB3D && len == 9, "crc16 of \"123456789\" is 0xBB3D");
  unsigned short split = crc16::Update(crc16::Update(0, "1234", 4), "56789", 5);
  Check(split == 0xBB3D, "crc16 continued over two pieces");
}

void Strings() {
  const char* text = "a text longer than the inline buffer of a string";
  CPString* s = new CPString(text);
  Check(s != nullptr, "CPString allocated through the library's operator new");
  if (!s) return;
  s->AddRef();
  unsigned short crc = crc16::Update(0, text, std::strlen(text));
  Check(s->Length() == std::strlen(text) && *s == text && s->_get_nCRC() == crc, "CPString keeps text, length and CRC");

  W32String copy(text);
  Check(copy == *s && !(copy != *s), "W32String compares equal to the same text");
  Createable* base = &copy;
  Check(dynamic_cast<CPString*>(base) == &copy, "dynamic_cast across the library boundary");

  char out[8];
  s->StrCpy(out, sizeof out);
  Check(std::strcmp(out, "a text ") == 0, "StrCpy stops at the buffer size");
  Check(s->Release() == 0, "last Release reports 0");

  Note* note = new Note;
  Check(note != nullptr, "own Createable allocated");
  if (!note) return;
  note->AddRef();
  note->AddRef();
  Check(note->Release() == 1 && g_destroyed == 0, "Release keeps an object that is still referenced");
  Check(note->Release() == 0 && g_destroyed == 1, "Release deletes the program's object through its destructor");
}

void Errors() {
  ExceptionsSink previous = Exceptions::SetSink(&RecordingSink);
  static const char kText[] = "nCount > 0";
  bool caught = false;
  try {
    Exceptions::_get_gexeptnsThe()->Assert("consumer", 42, kText);
  } catch (const AssertionFailure& failure) {
    caught = failure.line == 42 && failure.expression == kText && !failure.failIfNil &&
             std::strstr(failure.what(), kText) != nullptr;
  }
  Check(caught, "Assert throws AssertionFailure, caught in the program");
  Check(g_sinkKind == Exceptions::eAssert && g_sinkText == kText, "the installed sink saw the report first");

  caught = false;
  try {
    Exceptions::_get_gexeptnsThe()->FailIfNIL("consumer", 7, "pNode");
  } catch (const std::logic_error& failure) {
    const AssertionFailure* known = dynamic_cast<const AssertionFailure*>(&failure);
    caught = known != nullptr && known->failIfNil;
  }
  Check(caught, "FailIfNIL caught as std::logic_error");
  Exceptions::SetSink(previous);
}

int CompareTexts(const void* a, const void* b) {
  return std::strcmp(*static_cast<char* const*>(a), *static_cast<char* const*>(b));
}

void Containers() {
  static char names[][8] = {"rowan", "ash", "elm"};
  CPList list;
  for (char* name : names) list.Add(name);
  list.Sort(&CompareTexts);
  Check(list.Length() == 3 && std::strcmp(static_cast<char*>(list.RetrieveIDX(0)), "ash") == 0 &&
            std::strcmp(static_cast<char*>(list[-1]), "rowan") == 0,
        "CPList sorts through the library's qsort callback");

  CPDictionary dictionary(256);
  dictionary.AddKeyString("elm", names[2], nullptr);
  dictionary.AddKeyNum(7, names[0]);
  Check(dictionary.FindKeyString("elm", nullptr) == names[2] && dictionary.FindKeyNum(7) == names[0],
        "CPDictionary finds by text and by number");
  dictionary.DetachAll();

  tarncoll::TypedTree<char> tree;
  tree.AddKeyNum(30, names[0]);
  tree.AddKeyNum(10, names[1]);
  tree.AddKeyNum(20, names[2]);
  std::string order;
  for (char* name : tree) order += std::string(name) + " ";
  Check(order == "ash elm rowan ", "range-based for over a TypedTree walks in key order");

  Note* shared = new Note;
  if (!shared) return;
  {
    CrList references;
    references.Add(shared);
    tarncoll::Ref<Note> held(shared);
    Check(shared->_get_nRefCount() == 2, "CrList and Ref<T> each hold one reference");
  }
  Check(g_destroyed == 2, "the last reference released deletes the object");
}

}  // namespace

int main() {
  Crc();
  Strings();
  Containers();
  Errors();
  std::printf("%s: %d failures\n", g_failures ? "consumer FAILED" : "consumer passed", g_failures);
  return g_failures ? 1 : 0;
}

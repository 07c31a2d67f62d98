// libFuzzer target: the input is a script of operations over one container
// of every family at once (list, hash table, dictionary, numeric and text
// trees, queue, array, stack, vector, the reference collections, the
// symmetric map, the modern layer's typed facades, iterators and Ref
// handles, and the Trackable statistics).  Each step takes one byte to
// choose the container, then the container's model reads its operation and
// arguments from the following bytes, applies it to the container and to
// the model, compares every result and runs the invariant check.  Key texts
// and class names are partly spelled by the input.  Some steps make the kth
// call of a callback throw, or the nth allocation of an operation fail, and
// the model checks what the container keeps.  A disagreement, an unexpected
// report or an unexpected cursor exception aborts, so libFuzzer keeps the
// input; sanitizers catch memory errors and leaks.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "model/array_model.h"
#include "model/cr_models.h"
#include "model/crtree_model.h"
#include "model/dictionary_model.h"
#include "model/harness.h"
#include "model/list_model.h"
#include "model/modern_model.h"
#include "model/stack_model.h"
#include "model/tree_model.h"
#include "model/vector_model.h"

namespace {

namespace model = tarncoll::test::model;

// Long inputs would mostly repeat what short ones reach; a bound keeps
// every execution fast.
const unsigned kMaxSteps = 2000;

struct Script {
  model::ListModel<CPList> list;
  model::ListModel<CPHashTable> table;
  model::DictionaryModel dictionary;
  model::TreeModel<model::NumberKeys> tree;
  model::TreeModel<model::TextKeys> textTree;
  model::QueueModel queue;
  model::ArrayModel array;
  model::StackModel stack;
  model::VectorModel vector;
  model::CrListModel crList;
  model::CrDictionaryModel crDictionary;
  model::CrTreeModel crTree;
  model::SymmetricMapModel map;
  model::ModernModel modern;
  model::TrackableModel tracker;

  // One step on the container the source chooses; its name, for reports.
  const char* Step(model::OpSource& src) {
    switch (src.Pick(15)) {
      case 0:
        return Run(list, src, "CPList");
      case 1:
        return Run(table, src, "CPHashTable");
      case 2:
        return Run(dictionary, src, "CPDictionary");
      case 3:
        return Run(tree, src, "CPTree (numeric keys)");
      case 4:
        return Run(textTree, src, "CPTree (text keys)");
      case 5:
        return Run(queue, src, "CPQueue");
      case 6:
        return Run(array, src, "CPArray");
      case 7:
        return Run(stack, src, "CPStack");
      case 8:
        return Run(vector, src, "CPVector");
      case 9:
        return Run(crList, src, "CrList");
      case 10:
        return Run(crDictionary, src, "CrDictionary");
      case 11:
        return Run(crTree, src, "CrTree");
      case 12:
        return Run(map, src, "CPSymmetricMap");
      case 13:
        return Run(modern, src, "modern layer");
      default:
        return Run(tracker, src, "Trackable");
    }
  }
  template <class M>
  const char* Run(M& m, model::OpSource& src, const char* pszName) {
    pszLast = pszName;
    pRecent = &m;
    m.Step(src);
    m.Check();
    return pszName;
  }
  const char* pszLast = "";
  const model::ModelBase* pRecent = nullptr;
};

[[noreturn]] void Abort(const Script& s, unsigned nStep, const std::string& what) {
  std::fprintf(stderr, "tarncoll fuzz: %s, step %u (after %s): %s\n", s.pszLast, nStep,
               s.pRecent ? s.pRecent->Recent().c_str() : "", what.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  model::ByteSource src(data, size);
  Script s;
  unsigned nStep = 0;
  try {
    for (; nStep < kMaxSteps && !src.Exhausted(); ++nStep) s.Step(src);
  } catch (const model::Mismatch& e) {
    Abort(s, nStep, e.what());
  } catch (const AssertionFailure& e) {
    Abort(s, nStep, std::string("unexpected report \"") + e.expression + "\" from " + e.file);
  } catch (unsigned int v) {
    Abort(s, nStep, "unexpected cursor exception " + std::to_string(v));
  } catch (const model::Thrown& e) {
    Abort(s, nStep, "a callback exception (call " + std::to_string(e.call) + ") where none was expected");
  } catch (const std::exception& e) {
    Abort(s, nStep, std::string("unexpected exception: ") + e.what());
  }
  return 0;
}

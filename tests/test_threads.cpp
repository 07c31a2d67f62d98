// Process-wide state under concurrent use: several threads, each with its
// own containers, share only the library's statics (the tree's string-key
// registry, the tracker, the dictionaries' CRC, the list node pool).  Run
// under ThreadSanitizer (the tsan preset runs the tests named "Threads");
// the result checks also catch lost records and corrupted keys without it.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <deque>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <cpcoll/BTree.h>
#include <cpcoll/Cpdict.h>
#include <cpcoll/cplist.h>
#include <cpcoll/crdict.h>
#include <cpcoll/trackable.h>
#include <util/CPString.h>
#include <util/Createable.h>
#include <util/Exceptions.h>
#include <util/crc16.h>

#include "support/dictionary_inspector.h"
#include "support/tree_inspector.h"
#include "support/trackable_inspector.h"

namespace {

constexpr int kThreads = 4;
constexpr int kTexts = 48;  // key texts shared by all threads

std::string Text(int i) { return "key-" + std::to_string(i); }
void* Item(long n) { return reinterpret_cast<void*>(0x1000 + n); }

// Runs body(0..kThreads-1) on kThreads threads that start together.
template <class Body>
void RunThreads(Body body) {
  std::atomic<int> nReady{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      nReady.fetch_add(1);
      while (nReady.load() < kThreads) std::this_thread::yield();
      body(t);
    });
  for (std::thread& th : threads) th.join();
}

const TrackRec* Record(const char* pszClass) {
  return Trackable::pdctAllocatedObjects
             ? static_cast<const TrackRec*>(Trackable::pdctAllocatedObjects->FindKeyString(pszClass, nullptr))
             : nullptr;
}

}  // namespace

// Every thread keys its own trees with its own CPString objects whose texts
// the other threads use too, so registrations, use counts and removals of
// the same registry entries interleave.  Each tree must hold exactly its
// model's content, and once every key is detached the registry is empty
// and every string is back to the caller's single reference.
TEST(Threads, StringKeyedTreesShareTheRegistry) {
  constexpr int kRounds = 60;
  std::vector<std::vector<CPString*>> strings(kThreads);
  for (int t = 0; t < kThreads; ++t)
    for (int i = 0; i < kTexts; ++i) {
      strings[t].push_back(new CPString(Text(i).c_str()));
      strings[t].back()->AddRef();
    }
  std::vector<std::string> errors(kThreads);

  RunThreads([&](int t) {
    std::mt19937 rng(1234 + t);
    std::map<std::string, void*> model;
    CPTree tree;
    tree._set_etdsState(etreeString);  // detaching from the empty tree is allowed too
    for (int round = 0; round < kRounds && errors[t].empty(); ++round) {
      for (int step = 0; step < 40; ++step) {
        int i = static_cast<int>(rng() % kTexts);
        CPString* s = strings[t][i];
        switch (rng() % 4) {
          case 0:
          case 1:
            tree.AddKeyString(s, Item(t * 1000 + i));
            model[Text(i)] = Item(t * 1000 + i);
            break;
          case 2:
            tree.DetachKeyString(s);
            model.erase(Text(i));
            break;
          default:  // by plain text: the node stays keyed by the registered buffer
            if (tree.FindKeyString(Text(i).c_str(), nullptr) != (model.count(Text(i)) ? model[Text(i)] : nullptr))
              errors[t] = "find " + Text(i) + " in round " + std::to_string(round);
        }
      }
      // A copy takes a use of every registered key it shares.
      CPTree copy(tree);
      if (copy.Length() != model.size()) errors[t] = "copy length in round " + std::to_string(round);
      std::string sCheck = CPTreeInspector::Check(tree);
      if (!sCheck.empty()) errors[t] = sCheck;
      if (tree.Length() != model.size()) errors[t] = "length in round " + std::to_string(round);
      auto it = model.begin();
      for (Leaf* plf = tree._get_plfHead(); plf != nullptr && it != model.end(); plf = plf->plfNext, ++it)
        if (it->first != static_cast<const char*>(plf->pvKey) || it->second != plf->pvData)
          errors[t] = "content in round " + std::to_string(round);
    }
    for (int i = 0; i < kTexts; ++i) tree.DetachKeyString(strings[t][i]);
    if (tree.Length() != 0) errors[t] = "not empty at the end";
  });

  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(errors[t], "") << "thread " << t;
  ASSERT_NE(CPTree::pcrdctStringKeys, nullptr);
  EXPECT_EQ(CPTree::pcrdctStringKeys->Length(), 0u);
  for (int t = 0; t < kThreads; ++t)
    for (CPString* s : strings[t]) {
      EXPECT_EQ(s->_get_nRefCount(), 1) << s->GetBuffer();
      s->Release();
    }
}

// The registry hands one thread's string to another thread's tree; the
// owner may drop its reference at any time while the other thread's
// detach drops the registry's.  The count must end exact either way (a
// lost update frees a string in use or leaks it).
TEST(Threads, RegisteredStringReleasedByItsOwnerWhileOthersDetach) {
  constexpr int kRounds = 2000;
  constexpr int kTextsInUse = 8;
  std::vector<std::string> errors(kThreads);
  RunThreads([&](int t) {
    CPTree tree;
    tree._set_etdsState(etreeString);
    std::deque<std::pair<std::string, CPString*>> held;  // about half the texts at a time
    for (int round = 0; round < kRounds; ++round) {
      std::string sText = "shared-" + std::to_string(round % kTextsInUse);
      CPString* s = new CPString(sText.c_str());
      s->AddRef();
      tree.AddKeyString(s, Item(t));
      if (tree.FindKeyString(sText.c_str(), nullptr) != Item(t)) errors[t] = "lost " + sText;
      held.emplace_back(sText, s);
      if (held.size() < kTextsInUse / 2) continue;
      std::pair<std::string, CPString*> old = held.front();
      held.pop_front();
      if (round % 2) {
        tree.DetachKeyString(old.second);
        old.second->Release();
      } else {
        old.second->Release();  // the registry may hold the last reference now
        CPString probe(old.first.c_str());
        tree.DetachKeyString(&probe);
      }
      if (tree.FindKeyString(old.first.c_str(), nullptr) != nullptr) errors[t] = "kept " + old.first;
    }
    for (auto& h : held) {
      tree.DetachKeyString(h.second);
      h.second->Release();
    }
    if (tree.Length() != 0) errors[t] = "left nodes";
  });
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(errors[t], "") << "thread " << t;
  EXPECT_EQ(CPTree::pcrdctStringKeys->Length(), 0u);
}

// The sharpest case of the above: the owner drops its reference right after
// its detach, with nothing ordering that against the other thread's detach
// that removes the entry (and the registry's reference).
TEST(Threads, OwnerReleaseAgainstAnotherThreadsUnregister) {
  for (int round = 0; round < 20; ++round) {
    CPString* sOwner = new CPString("owner-vs-other");
    sOwner->AddRef();
    CPTree treeOwner;
    treeOwner.AddKeyString(sOwner, Item(1));  // registers sOwner
    std::atomic<int> nStage{0};
    void* pvFound = nullptr;
    std::thread other([&] {
      CPTree tree;
      CPString sOther("owner-vs-other");
      tree.AddKeyString(&sOther, Item(2));  // keyed by sOwner's buffer
      nStage.store(1);
      while (nStage.load() < 2) std::this_thread::yield();
      pvFound = tree.FindKeyString("owner-vs-other", nullptr);
      tree.DetachKeyString(&sOther);  // the last use: the entry goes
    });
    while (nStage.load() < 1) std::this_thread::yield();
    treeOwner.DetachKeyString(sOwner);  // the other tree still uses the entry
    nStage.store(2);
    sOwner->Release();  // unordered against the other thread's unregistration
    other.join();
    EXPECT_EQ(pvFound, Item(2));
    EXPECT_EQ(CPTree::pcrdctStringKeys->Length(), 0u);
  }
}

// Dictionaries share only the CRC object; a list's nodes come from the
// shared node pool and may be freed by another thread than the one that
// made them.
TEST(Threads, DictionariesAndListsOfTheirOwn) {
  constexpr int kKeys = 400;
  std::vector<std::string> errors(kThreads);
  std::vector<CPList*> lists(kThreads, nullptr);
  RunThreads([&](int t) {
    CPDictionary dict;
    for (int i = 0; i < kKeys; ++i) dict.AddKeyString(Text(i).c_str(), Item(t * kKeys + i), nullptr);
    for (int i = 0; i < kKeys; i += 3) dict.DetachKeyString(Text(i).c_str(), nullptr);
    for (int i = 0; i < kKeys; ++i) {
      void* pvExpected = i % 3 == 0 ? nullptr : Item(t * kKeys + i);
      if (dict.FindKeyString(Text(i).c_str(), nullptr) != pvExpected) errors[t] = "find " + Text(i);
    }
    std::string sCheck = CPDictionaryInspector::Check(dict);
    if (!sCheck.empty()) errors[t] = sCheck;

    unsigned short nCRC = 0;
    crc16().Calc("123456789", &nCRC, nullptr);
    if (nCRC != 0xBB3D) errors[t] = "crc";

    CPList* plst = new CPList;
    for (long i = 0; i < 5000; ++i) plst->Add(Item(i));
    lists[t] = plst;
  });
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(errors[t], "") << "thread " << t;

  // Each list is emptied on another thread than its maker.
  RunThreads([&](int t) {
    CPList* plst = lists[(t + 1) % kThreads];
    long n = 0;
    for (plst->GotoTop(); plst->Retrieve() != nullptr; plst->Next()) ++n;
    if (n != 5000) errors[t] = "list length " + std::to_string(n);
    delete plst;
  });
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(errors[t], "") << "thread " << t;
}

// Tree nodes and dictionary entries come from their own pool classes and
// long key texts share one block with their string: all of them made on
// one thread and freed on another, while the other threads do the same.
TEST(Threads, TreesAndLongKeyDictionariesFreedByAnotherThread) {
  constexpr int kKeys = 3000;
  std::vector<std::string> errors(kThreads);
  std::vector<CPTree*> trees(kThreads, nullptr);
  std::vector<CPDictionary*> dicts(kThreads, nullptr);
  auto longText = [](int i) { return Text(i) + " and enough more text to leave the inline room"; };
  for (int round = 0; round < 2; ++round) {
    RunThreads([&](int t) {
      CPTree* ptree = new CPTree;
      CPDictionary* pdict = new CPDictionary;
      for (int i = 0; i < kKeys; ++i) {
        ptree->AddKeyNum(static_cast<unsigned long>(i), Item(t * kKeys + i));
        pdict->AddKeyString(longText(i).c_str(), Item(t * kKeys + i), nullptr);
      }
      for (int i = 0; i < kKeys; i += 4) ptree->DetachKeyNum(static_cast<unsigned long>(i));
      trees[t] = ptree;
      dicts[t] = pdict;
    });
    RunThreads([&](int t) {
      const int maker = (t + 1) % kThreads;
      CPTree* ptree = trees[maker];
      CPDictionary* pdict = dicts[maker];
      for (int i = 0; i < kKeys; ++i) {
        void* pvExpected = i % 4 == 0 ? nullptr : Item(maker * kKeys + i);
        if (ptree->FindKeyNum(static_cast<unsigned long>(i)) != pvExpected) errors[t] = "tree find " + std::to_string(i);
        if (pdict->FindKeyString(longText(i).c_str(), nullptr) != Item(maker * kKeys + i))
          errors[t] = "dict find " + longText(i);
      }
      std::string sCheck = CPDictionaryInspector::Check(*pdict);
      if (!sCheck.empty()) errors[t] = sCheck;
      delete ptree;
      delete pdict;
    });
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(errors[t], "") << "round " << round << ", thread " << t;
  }
}

// Every call records: a thread never skips its record because another
// thread is inside the tracker.  A class name shared by all threads ends
// with the sum of their counts.
TEST(Threads, TrackingRecordsEveryCall) {
  constexpr int kCalls = 2000;
  const long nObjectsBefore = TrackableInspector::TotalObjects();
  const long nSizeBefore = TrackableInspector::TotalSize();
  auto instances = [](const std::string& s) { return Record(s.c_str()) ? Record(s.c_str())->nInstances : 0L; };
  auto sizes = [](const std::string& s) { return Record(s.c_str()) ? Record(s.c_str())->nSize : 0L; };
  std::vector<long> nInstancesBefore, nSizesBefore;  // shared first, then each thread's own
  for (int t = -1; t < kThreads; ++t) {
    std::string s = t < 0 ? "ThreadsShared" : "ThreadsOwn" + std::to_string(t);
    nInstancesBefore.push_back(instances(s));
    nSizesBefore.push_back(sizes(s));
  }
  RunThreads([&](int t) {
    std::string sOwn = "ThreadsOwn" + std::to_string(t);
    for (int i = 0; i < kCalls; ++i) {
      Trackable::AllocateObject("ThreadsShared", 8);
      Trackable::AllocateObject(sOwn.c_str(), t + 1);
      if (i % 2) {
        Trackable::DeAllocateObject("ThreadsShared", 8);
        Trackable::DeAllocateObject(sOwn.c_str(), t + 1);
      }
      if (i % 500 == 0) Trackable::Report(nullptr);
    }
  });
  const TrackRec* prec = Record("ThreadsShared");
  ASSERT_NE(prec, nullptr);
  EXPECT_EQ(prec->nInstances - nInstancesBefore[0], kThreads * kCalls / 2);
  EXPECT_EQ(prec->nSize - nSizesBefore[0], 8L * kThreads * kCalls / 2);
  long nOwnSize = 0;
  for (int t = 0; t < kThreads; ++t) {
    const TrackRec* precOwn = Record(("ThreadsOwn" + std::to_string(t)).c_str());
    ASSERT_NE(precOwn, nullptr);
    EXPECT_EQ(precOwn->nInstances - nInstancesBefore[t + 1], kCalls / 2);
    EXPECT_EQ(precOwn->nSize - nSizesBefore[t + 1], (t + 1L) * kCalls / 2);
    nOwnSize += (t + 1L) * kCalls / 2;
  }
  EXPECT_EQ(TrackableInspector::TotalObjects() - nObjectsBefore, kThreads * kCalls);
  EXPECT_EQ(TrackableInspector::TotalSize() - nSizeBefore, 8L * kThreads * kCalls / 2 + nOwnSize);
}

namespace {
short g_nNestedResult = -1;
void CallTrackerFromSink(int kind, const char*, long, const char*) {
  if (kind == Exceptions::eFailIfNIL) g_nNestedResult = Trackable::AllocateObject("ThreadsNested", 1);
  // (never recorded, so the name can stay the same on every run)
}
}  // namespace

// A diagnostic sink that calls the tracker while AllocateObject is at work
// on the same thread is answered at once (1, nothing recorded), neither
// blocked by the tracker's own lock nor counted.
TEST(Threads, NestedTrackerCallOnTheSameThreadIsSkipped) {
  static int nRun = 0;  // fresh names on every run (--gtest_repeat)
  const std::string sFresh = "ThreadsNestedFresh" + std::to_string(++nRun);
  const char* pszFresh = sFresh.c_str();
  g_nNestedResult = -1;
  Trackable::AllocateObject("ThreadsNestedOuter", 1);  // the records exist
  ExceptionsSink pfnOld = Exceptions::SetSink(&CallTrackerFromSink);
  // The next library allocation is the new record's dictionary entry.
  Createable::SetAllocationFailure(1);
  EXPECT_THROW(Trackable::AllocateObject(pszFresh, 1), AssertionFailure);
  Createable::SetAllocationFailure(0);
  Exceptions::SetSink(pfnOld);
  EXPECT_EQ(g_nNestedResult, 1);
  EXPECT_EQ(Record("ThreadsNested"), nullptr);
  EXPECT_EQ(Record(pszFresh), nullptr);
  EXPECT_EQ(Trackable::bDisableTracking, 0);
  // The tracker is usable again, from this thread and from another.
  EXPECT_EQ(Trackable::AllocateObject(pszFresh, 1), 1);
  std::thread([pszFresh] { Trackable::AllocateObject(pszFresh, 1); }).join();
  ASSERT_NE(Record(pszFresh), nullptr);
  EXPECT_EQ(Record(pszFresh)->nInstances, 2);
}

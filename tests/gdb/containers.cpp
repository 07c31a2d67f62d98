// Fills one of every container and stops in Inspect(), where printers.gdb
// prints each of them.  Items are small fixed numbers cast to pointers so
// the printed output does not depend on where the heap lies; the reference
// collections hold CPStrings, whose addresses the test's filter masks.
#include <cpcoll/tarncoll.h>

#include <cstdint>
#include <cstdio>

namespace {

void* Item(std::uintptr_t n) { return reinterpret_cast<void*>(n); }

struct All {
  CPString text{"tab\there, \"quoted\""};
  CPString empty;
  CPString longText{"a text of more than sixteen bytes"};  // printed with a 16-byte limit
  CPList list;
  CPList longList;  // more elements than the printers show
  CPHashTable hashTable;
  CPArray array{8};
  CPStack stack{4};
  CPVector vector{16};
  CPDictionary dictionary;
  CPTree numberTree;
  CPTree textTree;
  CPTree emptyTree;
  CPQueue queue;
  CrList crList;
  CrDictionary crDictionary;
  CrTree crTree;
  CPSymmetricMap symmetricMap;
  CPBucket* bucket = nullptr;
  Leaf* leaf = nullptr;
  CPDictionaryAssociation* association = nullptr;
  ListIterationState* listState = nullptr;
  ArrayIterationState* arrayState = nullptr;
  StackIterationState* stackState = nullptr;
  VectorIterationState* vectorState = nullptr;
  DictionaryIterationState* dictionaryState = nullptr;
  TreeIterationState* treeState = nullptr;
  CPString* objects[3] = {};
  // The symmetric map's pairs live only inside the library: naming their
  // type here gives gdb its description when the library has none.
  MapKeyPair* pair = nullptr;
};

// The breakpoint: gdb stops here with every container filled.
__attribute__((noinline)) void Inspect(All& all) {
  asm volatile("" : : "r"(&all) : "memory");
}

void Fill(All& a) {
  for (std::uintptr_t n = 1; n <= 3; ++n) a.list.Add(Item(0x100 + n));
  for (std::uintptr_t n = 1; n <= 203; ++n) a.longList.Add(Item(n));
  a.hashTable.Add(Item(0x201));
  a.hashTable.Add(Item(0x202));
  for (std::uintptr_t n = 1; n <= 3; ++n) a.array.Add(Item(0x300 + n));
  a.stack.Push(Item(0x401));
  a.stack.Push(Item(0x402));

  // Slot order: 0x101 and 1 share slot 1 (in order of addition), "elm"
  // lands in its CRC's slot.
  a.dictionary.AddKeyNum(0x101, Item(0x501));
  a.dictionary.AddKeyNum(1, Item(0x502));
  a.dictionary.AddKeyString("elm", Item(0x503), nullptr);
  a.dictionary.AddKeyNum(0xFF, Item(0x504));
  a.dictionary.AddKeyString("\xff\x01", Item(0x505), nullptr);  // not UTF-8

  a.numberTree.AddKeyNum(30, Item(0x603));
  a.numberTree.AddKeyNum(10, Item(0x601));
  a.numberTree.AddKeyNum(20, Item(0x602));
  a.textTree.AddKeyString("rowan", Item(0x703), nullptr);
  a.textTree.AddKeyString("ash", Item(0x701), nullptr);
  a.textTree.AddKeyString("elm", Item(0x702), nullptr);

  // Arrival order, with an Insert at the front.
  a.queue.Add(Item(0x802));
  a.queue.Add(Item(0x803));
  a.queue.Insert(Item(0x801));

  static const char* const kTexts[] = {"one", "two", "three"};
  for (int i = 0; i < 3; ++i) {
    a.objects[i] = new CPString(kTexts[i]);
    a.objects[i]->AddRef();  // this program's own reference
  }
  a.crList.Add(a.objects[0]);
  a.crList.Add(a.objects[1]);
  a.crDictionary.AddKeyString("first", a.objects[0], nullptr);
  a.crDictionary.AddKeyNum(2, a.objects[2]);
  a.crTree.AddKeyNum(5, a.objects[1]);
  a.crTree.AddKeyNum(4, a.objects[2]);

  // "x" maps twice, so crdctA holds a CrList for it.
  a.symmetricMap.AddMapping("x", "1", nullptr);
  a.symmetricMap.AddMapping("x", "2", a.objects[2]);
  a.symmetricMap.AddMapping("y", "1", nullptr);

  a.bucket = a.list._get_pbktHead();
  a.leaf = a.numberTree.FindLeaf(Item(20), 0);

  a.listState = static_cast<ListIterationState*>(a.list.CreateIterationState());
  a.listState->vgotoTop();
  a.listState->vgotoNext();
  a.arrayState = static_cast<ArrayIterationState*>(a.array.CreateIterationState());
  a.arrayState->vgotoBottom();
  a.stackState = static_cast<StackIterationState*>(a.stack.CreateIterationState());
  a.stackState->vgotoTop();
  a.vectorState = static_cast<VectorIterationState*>(a.vector.CreateIterationState());
  a.vectorState->vgotoTop();
  a.dictionaryState = static_cast<DictionaryIterationState*>(a.dictionary.CreateIterationState());
  a.dictionaryState->vgotoTop();
  a.association = static_cast<CPDictionaryAssociation*>(a.dictionaryState->vretrieve());
  a.treeState = static_cast<TreeIterationState*>(a.textTree.CreateIterationState());
  a.treeState->vgotoBottom();
}

void Empty(All& a) {
  for (IterationState* state : {static_cast<IterationState*>(a.listState), static_cast<IterationState*>(a.arrayState),
                                static_cast<IterationState*>(a.stackState),
                                static_cast<IterationState*>(a.vectorState),
                                static_cast<IterationState*>(a.dictionaryState),
                                static_cast<IterationState*>(a.treeState)})
    delete state;
  a.crList.RemoveAll();
  a.crDictionary.RemoveAll();
  a.crTree.RemoveAll();
  a.symmetricMap.Clear();
  for (CPString* object : a.objects) object->Release();
  a.list.DetachAll();
  a.longList.DetachAll();
  a.hashTable.DetachAll();
  a.dictionary.DetachAll();
  a.numberTree.DetachAll();
  a.textTree.DetachAll();
  a.queue.DetachAll();
}

}  // namespace

int main() {
  All* all = new All;
  Fill(*all);
  Inspect(*all);
  Empty(*all);
  delete all;
  std::puts("containers: filled, inspected and emptied");
  return 0;
}

// Test support: the smallest concrete flat collection, backed by a
// std::vector, with a cursor state.  Used to test the framework's own
// algorithms (typed dispatch, walks, Sort, copying, the Iterator family)
// apart from any real container.
#ifndef TARNCOLL_TESTS_SUPPORT_VECTOR_COLLECTION_H
#define TARNCOLL_TESTS_SUPPORT_VECTOR_COLLECTION_H

#include <vector>

#include <cpcoll/cpcollec.h>

class VectorCollection;

// A node view of one cell, handed out by retrieveInternalContainer.
class CellNode : public CPInternalContainer {
 public:
  explicit CellNode(void* pv) { pvTheData = pv; }
};

class VectorState : public IterationState {
 public:
  explicit VectorState(VectorCollection* pcl);
  short vgotoTop() override;
  short vgotoBottom() override;
  short vgotoNext() override;
  short vgotoPrev() override;
  void* vretrieve() override;
  CPInternalContainer* vretrieveInternalContainer() override;
  long nIndex = -1;

 private:
  std::vector<void*>& Items();
  CellNode node{nullptr};
};

class VectorCollection : public CPFlatCollection {
 public:
  std::vector<void*> items;
  long nCursor = -1;
  std::vector<void*> addedNodes;  // what AddInternalContainer was given
  // What each typed slot saw, to prove dispatch reached it.
  int nSlotCalls = 0;
  short nSlotResult = 0;

  char KeyKind() const { return eKeyKind; }
  void Touch() { ++nXACT; }  // a change of content without a length change

  IterationState* CreateIterationState() override { return new VectorState(this); }
  CPCollection* CreateInstance() override { return new VectorCollection; }

  short vadd(void*, long) override { return ++nSlotCalls, nSlotResult; }
  short vadd(void*) override { return ++nSlotCalls, nSlotResult; }
  short vadd(void*, const char*) override { return ++nSlotCalls, nSlotResult; }
  void* vfind(long n) override { return ++nSlotCalls, reinterpret_cast<void*>(n); }

  CPCollection* AllThat(CPConditionFunc pfn, void* pvUser) override {
    auto* p = new VectorCollection;
    for (void* pv : items)
      if (pfn(pv, pvUser)) p->Add(pv);
    return p;
  }
  void Add(void* pv) override {
    items.push_back(pv);
    IncrementLength();
  }
  void AddInternalContainer(CPInternalContainer* pic) override { addedNodes.push_back(pic); }
  char Destroy(void* pv, CPKillFunc pfnKill) override {
    if (!Detach(pv)) return 0;
    pfnKill(pv, nullptr);
    return 1;
  }
  void* RetrieveIDX(unsigned long idx) override { return idx < items.size() ? items[idx] : nullptr; }
  char Detach(void* pv) override {
    for (size_t i = 0; i < items.size(); ++i)
      if (items[i] == pv) {
        items.erase(items.begin() + long(i));
        DecrementLength();
        return 1;
      }
    return 0;
  }
  char DetachAll() override {
    items.clear();
    ClearLength();
    nCursor = -1;
    return 1;
  }
  char DestroyAll(CPKillFunc pfnKill) override {
    for (void* pv : items) pfnKill(pv, nullptr);
    return DetachAll();
  }
  void GotoTop() override { nCursor = items.empty() ? -1 : 0; }
  void GotoBottom() override { nCursor = long(items.size()) - 1; }
  long Next() override {
    if (nCursor < 0) return 0;
    if (++nCursor >= long(items.size())) nCursor = -1;
    return nCursor >= 0;
  }
  long Prev() override {
    if (nCursor < 0) return 0;
    --nCursor;
    return nCursor >= 0;
  }
  void* Retrieve() override { return nCursor >= 0 ? items[size_t(nCursor)] : nullptr; }

  // Test access to the protected length helpers.
  using CPCollection::ClearLength;
  using CPCollection::DecrementLength;
  using CPCollection::IncrementLength;
};

inline VectorState::VectorState(VectorCollection* pcl) : IterationState(pcl) {}
inline std::vector<void*>& VectorState::Items() { return static_cast<VectorCollection*>(pclAssociated)->items; }
inline short VectorState::vgotoTop() {
  nIndex = Items().empty() ? -1 : 0;
  return 1;
}
inline short VectorState::vgotoBottom() {
  nIndex = long(Items().size()) - 1;
  return 1;
}
inline short VectorState::vgotoNext() {
  if (nIndex < 0) return 0;
  if (++nIndex >= long(Items().size())) nIndex = -1;
  return nIndex >= 0;
}
inline short VectorState::vgotoPrev() {
  if (nIndex < 0) return 0;
  --nIndex;
  return nIndex >= 0;
}
inline void* VectorState::vretrieve() { return nIndex >= 0 ? Items()[size_t(nIndex)] : nullptr; }
inline CPInternalContainer* VectorState::vretrieveInternalContainer() {
  if (nIndex < 0) return nullptr;
  node._set_pvTheData(Items()[size_t(nIndex)]);
  return &node;
}

#endif

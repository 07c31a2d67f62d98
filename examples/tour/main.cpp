// Runs every registered tour section in order.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <vector>

#include "tour.h"

namespace {
struct Section {
  int nOrder;
  const char* pszTitle;
  void (*pfnRun)();
};
std::vector<Section>& Sections() {
  static std::vector<Section> sections;
  return sections;
}
}  // namespace

int RegisterTourSection(int nOrder, const char* pszTitle, void (*pfnRun)()) {
  Sections().push_back({nOrder, pszTitle, pfnRun});
  return nOrder;
}

int main() {
  std::vector<Section> sections = Sections();
  std::sort(sections.begin(), sections.end(), [](const Section& a, const Section& b) { return a.nOrder < b.nOrder; });
  for (const Section& s : sections) {
    std::printf("\n== %s ==\n", s.pszTitle);
    try {
      s.pfnRun();
    } catch (const std::exception& e) {
      std::printf("section failed: %s\n", e.what());
      return 1;
    }
  }
  std::printf("\nTour complete: %zu sections.\n", sections.size());
  return 0;
}

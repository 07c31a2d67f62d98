// The tour: each file in examples/tour registers one section; main runs the
// sections in the order of their numbers.
#ifndef TARNCOLL_EXAMPLES_TOUR_H
#define TARNCOLL_EXAMPLES_TOUR_H

#include <cstdio>

int RegisterTourSection(int nOrder, const char* pszTitle, void (*pfnRun)());

#define TOUR_CONCAT2(a, b) a##b
#define TOUR_CONCAT(a, b) TOUR_CONCAT2(a, b)
// TOUR_SECTION(10, "Title") { ...body... }
#define TOUR_SECTION(order, title)                                                             \
  static void TOUR_CONCAT(TourRun, order)();                                                   \
  static const int TOUR_CONCAT(kTourReg, order) = RegisterTourSection(order, title, &TOUR_CONCAT(TourRun, order)); \
  static void TOUR_CONCAT(TourRun, order)()

#endif

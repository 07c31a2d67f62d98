#include <util/DynaBuffer.h>

DynaBuffer::~DynaBuffer() {}

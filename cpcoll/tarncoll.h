/// \file
/// tarncoll: every public class of the library in one include.
#ifndef TARNCOLL_CPCOLL_TARNCOLL_H
#define TARNCOLL_CPCOLL_TARNCOLL_H

#include <util/CPString.h>
#include <util/Createable.h>
#include <util/DynaBuffer.h>
#include <util/Exceptions.h>
#include <util/LogObj.h>
#include <util/crc16.h>

#include <cpcoll/cpcollec.h>
#include <cpcoll/iterate.h>

#include <cpcoll/BTree.h>
#include <cpcoll/CPDictionaryAssociation.h>
#include <cpcoll/CPHashTable.h>
#include <cpcoll/CPQueue.h>
#include <cpcoll/CPSymmetricMap.h>
#include <cpcoll/CPVector.h>
#include <cpcoll/CpArray.h>
#include <cpcoll/Cpdict.h>
#include <cpcoll/CrCollection.h>
#include <cpcoll/cplist.h>
#include <cpcoll/cpstack.h>
#include <cpcoll/crdict.h>
#include <cpcoll/crlist.h>
#include <cpcoll/crtree.h>
#include <cpcoll/trackable.h>

#include <cpcoll/modern.h>

#endif

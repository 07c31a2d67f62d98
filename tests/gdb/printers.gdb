set pagination off
set print pretty off
set print object off
break Inspect
run
print all.text
print all.empty
python import tarncoll.printers; tarncoll.printers.TEXT_LIMIT = 16
print all.longText
python tarncoll.printers.TEXT_LIMIT = 1000
print all.list
print all.longList
print all.hashTable
print all.array
print all.stack
print all.vector
print all.dictionary
print all.numberTree
print all.textTree
print all.emptyTree
print all.queue
print all.crList
print all.crDictionary
print all.crTree
print all.symmetricMap
print *all.bucket
print *all.leaf
print *all.association
print all.dictionary.keyIndex.idxNum
print *all.listState
print *all.arrayState
print *all.stackState
print *all.vectorState
print *all.dictionaryState
print *all.treeState
continue

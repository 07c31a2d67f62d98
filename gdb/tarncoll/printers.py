"""gdb pretty printers for the tarncoll containers.

Every printer reads the containers' own fields (the same walk the library
makes) and never calls into the inferior, so it works on core files too.
Items are caller-owned ``void*`` and print as pointers.  A container shows
at most ``LIMIT`` elements and says how many it left out.

    (gdb) source <source dir>/gdb/tarncoll-gdb.py      # from a build tree

The libtarncoll-dev package installs an auto-load file that registers them
whenever gdb loads libtarncoll.so.1.
"""

import gdb
import gdb.printing

# Elements shown per container; the header line tells how many more exist.
LIMIT = 200

# The library's internal types that public classes hold by value.  Their
# namespace and names live only here, so a rename changes this table alone.
INTERNAL_NAMESPACE = "tarncoll::detail"
INTERNAL_TYPES = {
    "dict_index": INTERNAL_NAMESPACE + "::DictIndex",  # NumIndex, TextIndex
}

# Bytes of a text shown; a longer text ends in "...".
TEXT_LIMIT = 1000

# CPDictionary's slot count, fixed by the library.
DICTIONARY_SLOTS = 256

# enumTreeDataState values, as the header line names them.
TREE_KEY_KINDS = {0: "no keys yet", 1: "number keys", 2: "text keys"}
ETREE_STRING = 2


def _type(name):
    return gdb.lookup_type(name)


def _is_null(ptr):
    return int(ptr) == 0


def _quote(text):
    """A C-like literal of text: quotes, backslashes, control bytes and bytes
    that are not UTF-8 (decoded as surrogate escapes) escaped."""
    out = []
    for ch in text:
        if 0xDC80 <= ord(ch) <= 0xDCFF:
            out.append("\\%03o" % (ord(ch) - 0xDC00))
        elif ch in '"\\':
            out.append("\\" + ch)
        elif ch == "\n":
            out.append("\\n")
        elif ch == "\t":
            out.append("\\t")
        elif ch == "\r":
            out.append("\\r")
        elif ord(ch) < 0x20 or ord(ch) == 0x7F:
            out.append("\\%03o" % ord(ch))
        else:
            out.append(ch)
    return '"' + "".join(out) + '"' + ("..." if getattr(text, "cut", False) else "")


class _Text(str):
    """A text read from the program; cut is set when it was longer than
    TEXT_LIMIT bytes."""

    cut = False


def _text(decoded, n):
    text = _Text(decoded[:TEXT_LIMIT])
    text.cut = n > TEXT_LIMIT
    return text


def _read_text(ptr, n):
    """The first n bytes at ptr (a char pointer), at most TEXT_LIMIT read."""
    return _text(ptr.string(encoding="utf-8", errors="surrogateescape", length=min(n, TEXT_LIMIT)), n)


def _c_text(ptr):
    """The zero-terminated text at ptr (a char pointer), or None for null."""
    if _is_null(ptr):
        return None
    raw = ptr.cast(_type("char").pointer()).string(encoding="utf-8", errors="surrogateescape")
    return _text(raw, len(raw.encode("utf-8", "surrogateescape")))


def _plain_object(ptr, type_name):
    """The object at ptr as a value of the class type_name itself, read from
    memory: unlike dereference(), gdb does not look for the object's run-time
    class, whose type information a library built without debug
    information does not have (a dictionary's own key strings are of an
    internal class derived from CPString)."""
    typ = _type(type_name)
    data = gdb.selected_inferior().read_memory(int(ptr), typ.sizeof)
    return gdb.Value(data, typ)


def string_text(cpstring):
    """The text of a CPString value."""
    n = int(cpstring["nLength"])
    if n == 0:
        return ""
    return _read_text(cpstring["pszBuffer"], n)


def _ref_count(createable_ptr):
    """The reference count of the Createable at createable_ptr.

    nRefCount is a std::atomic<unsigned short> laid out as a plain unsigned
    short; it is read as one so the printer needs no std::atomic printer.
    """
    field = createable_ptr.cast(_type("Createable").pointer()).dereference()["nRefCount"]
    return int(field.address.cast(_type("unsigned short").pointer()).dereference())


def _header(name, parts, total):
    """The header line: name, parts, and how many elements are left out."""
    if total > LIMIT:
        parts = parts + ["first %d shown, %d more" % (LIMIT, total - LIMIT)]
    return "%s %s" % (name, ", ".join(parts))


# ---- walks over the documented fields -----------------------------------------


def list_nodes(cplist):
    """The CPBucket pointers of a CPList, head to tail."""
    node = cplist["pbktHead"]
    while not _is_null(node):
        yield node
        node = node.dereference()["pbktNext"]


def list_items(cplist):
    for node in list_nodes(cplist):
        yield node.dereference()["pvTheData"]


def dictionary_entries(dct):
    """The CPDictionaryAssociation pointers of a CPDictionary in walk order:
    slot 0 to 255, each slot's list in order of addition."""
    slots = dct["arplstSlots"]
    assoc_p = _type("CPDictionaryAssociation").pointer()
    for s in range(DICTIONARY_SLOTS):
        lst = slots[s]
        if _is_null(lst):
            continue
        for item in list_items(lst.dereference()):
            yield item.cast(assoc_p)


def association_key(assoc):
    """(is_text, key) of a CPDictionaryAssociation value: the key text, or
    the numeric key as a gdb.Value of type long."""
    if int(assoc["bUseString"]):
        pstr = assoc["pstrKey"]
        return True, (None if _is_null(pstr) else string_text(_plain_object(pstr, "CPString")))
    return False, assoc["nKeyCardinal"]


def tree_leaves(tree):
    """The Leaf pointers of a CPTree in list order (key order, or arrival
    order for a CPQueue)."""
    leaf = tree["plfHead"]
    while not _is_null(leaf):
        yield leaf
        leaf = leaf.dereference()["plfNext"]


def tree_key(tree, leaf):
    """A Leaf's key, shown as the tree's key kind: a text or a number."""
    key = leaf.dereference()["pvKey"]
    if int(tree["etdsState"]) == ETREE_STRING:
        return _c_text(key)
    return key.cast(_type("unsigned long"))


def _key_child(is_text, key):
    """A map key child: a text is quoted (gdb prints Python strings as they
    are), a number stays a gdb.Value."""
    if is_text:
        return "<null>" if key is None else _quote(key)
    return key


# ---- printers ---------------------------------------------------------------------


class _Printer(object):
    def __init__(self, val):
        self.val = val


class CPStringPrinter(_Printer):
    """"text" (CRC 0xBB3D)"""

    def to_string(self):
        return "%s (CRC 0x%04X)" % (_quote(string_text(self.val)), int(self.val["nCRC"]))


class CreateablePrinter(_Printer):
    """A reference-counted object: its address (as its own class) and count."""

    def to_string(self):
        return None

    def children(self):
        ptr = self.val.address
        try:
            ptr = ptr.cast(ptr.dynamic_type)
        except gdb.error:
            pass
        yield "object", ptr
        yield "refs", _ref_count(self.val.address)


class _Sequence(_Printer):
    """Items in order: a header line and an array of pointers."""

    name = None

    def items(self):
        raise NotImplementedError

    def parts(self):
        return ["of length %d" % self.total()]

    def total(self):
        return int(self.val["nLength"])

    def to_string(self):
        return _header(self.name, self.parts(), self.total())

    def display_hint(self):
        return "array"

    def value_of(self, item):
        return item

    def children(self):
        for i, item in enumerate(self.items()):
            if i >= LIMIT:
                break
            yield "[%d]" % i, self.value_of(item)


class CPListPrinter(_Sequence):
    def __init__(self, val, name="CPList"):
        _Sequence.__init__(self, val)
        self.name = name

    def items(self):
        return list_items(self.val)


class _Block(_Sequence):
    """A fixed-capacity block of slots: capacity, count, the used slots."""

    block = size = count = None

    def total(self):
        return int(self.val[self.count])

    def parts(self):
        return ["of capacity %d" % int(self.val[self.size]), "count %d" % self.total()]

    def items(self):
        block = self.val[self.block]
        for i in range(self.total()):
            yield block[i]


class CPArrayPrinter(_Block):
    name, block, size, count = "CPArray", "arpvThe", "ulArraySize", "ulCurrentIndex"


class CPStackPrinter(_Block):
    """Bottom to top: the last element is the top."""

    name, block, size, count = "CPStack", "arpvStack", "ulStackSize", "ulStackCount"

    def parts(self):
        return _Block.parts(self) + ["bottom to top"]


class CPVectorPrinter(_Block):
    name, block, size, count = "CPVector", "arpvVector", "ulVectorSize", "ulVectorCount"


class _Map(_Printer):
    """key -> item pairs: a header line and a map."""

    def display_hint(self):
        return "map"

    def pairs(self):
        raise NotImplementedError

    def children(self):
        for i, (key, value) in enumerate(self.pairs()):
            if i >= LIMIT:
                break
            yield "[%d]" % (2 * i), key
            yield "[%d]" % (2 * i + 1), value


class CPDictionaryPrinter(_Map):
    def __init__(self, val, name="CPDictionary"):
        _Map.__init__(self, val)
        self.name = name

    def to_string(self):
        n = int(self.val["nLength"])
        return _header(self.name, ["of length %d" % n], n)

    def value_of(self, item):
        return item

    def pairs(self):
        for assoc in dictionary_entries(self.val):
            entry = assoc.dereference()
            is_text, key = association_key(entry)
            yield _key_child(is_text, key), self.value_of(entry["pvValue"])


class CPTreePrinter(_Map):
    def __init__(self, val, name="CPTree"):
        _Map.__init__(self, val)
        self.name = name

    def to_string(self):
        n = int(self.val["nLength"])
        kind = TREE_KEY_KINDS.get(int(self.val["etdsState"]), "key kind %d" % int(self.val["etdsState"]))
        return _header(self.name, ["of length %d" % n, kind], n)

    def value_of(self, item):
        return item

    def pairs(self):
        for leaf in tree_leaves(self.val):
            key = tree_key(self.val, leaf)
            if int(self.val["etdsState"]) == ETREE_STRING:
                key = _key_child(True, key)
            yield key, self.value_of(leaf.dereference()["pvData"])


class CPQueuePrinter(CPTreePrinter):
    """Front to back; each item is its own key, so keys print as pointers."""

    def __init__(self, val):
        CPTreePrinter.__init__(self, val, "CPQueue")

    def to_string(self):
        n = int(self.val["nLength"])
        return _header(self.name, ["of length %d" % n, "item keys"], n)

    def pairs(self):
        for leaf in tree_leaves(self.val):
            node = leaf.dereference()
            yield node["pvKey"], node["pvData"]


def _createable(item):
    """The stored object of a reference collection, printed with its count."""
    return item.cast(_type("Createable").pointer()).dereference()


def _wrapping(base, name, field, what):
    """The printer of a reference collection: base's view of the container
    it wraps (held in field), each object shown with its reference count."""

    class Printer(base):
        def __init__(self, val):
            self.inner = val[field]
            base.__init__(self, val if _is_null(self.inner) else self.inner.dereference(), name)

        def to_string(self):
            if _is_null(self.inner):
                return "%s without a %s" % (name, what)
            return base.to_string(self)

        def children(self):
            if _is_null(self.inner):
                return iter(())
            return base.children(self)

        def value_of(self, item):
            return _createable(item)

    Printer.__name__ = name + "Printer"
    return Printer


CrListPrinter = _wrapping(CPListPrinter, "CrList", "plstThe", "list")
CrDictionaryPrinter = _wrapping(CPDictionaryPrinter, "CrDictionary", "pdctThe", "dictionary")
CrTreePrinter = _wrapping(CPTreePrinter, "CrTree", "ptreeThe", "tree")


def _dynamic_name(ptr):
    """The run-time class name of the Createable at ptr."""
    obj = ptr.cast(_type("Createable").pointer()).dereference()
    try:
        return str(obj.dynamic_type.strip_typedefs())
    except gdb.error:
        return ""


class MapKeyPairPrinter(_Printer):
    def to_string(self):
        payload = self.val["pcreateableTxData"]
        text = "%s <-> %s" % (_quote(string_text(self.val["strA"])), _quote(string_text(self.val["strB"])))
        if _is_null(payload):
            return text
        return "%s (payload 0x%x, refs %d)" % (text, int(payload), _ref_count(payload))


def symmetric_map_pairs(smap):
    """The MapKeyPair pointers of a CPSymmetricMap: crdctA's walk, each
    list of pairs in order of addition."""
    pair_p = _type("MapKeyPair").pointer()
    inner = smap["crdctA"]["pdctThe"]
    if _is_null(inner):
        return
    for assoc in dictionary_entries(inner.dereference()):
        value = assoc.dereference()["pvValue"]
        if _is_null(value):
            continue
        # Stored as Createable*: cast there first, then down to the class.
        obj = value.cast(_type("Createable").pointer())
        kind = _dynamic_name(obj)
        if kind == "MapKeyPair":
            yield obj.cast(pair_p)
        elif kind == "CrList":
            lst = obj.cast(_type("CrList").pointer()).dereference()["plstThe"]
            if _is_null(lst):
                continue
            for item in list_items(lst.dereference()):
                pair = item.cast(_type("Createable").pointer())
                if _dynamic_name(pair) == "MapKeyPair":
                    yield pair.cast(pair_p)


class CPSymmetricMapPrinter(_Printer):
    """The texts on each side, then the pairs (walked lazily, so a damaged
    map cannot keep the printer walking)."""

    def _texts(self, side):
        inner = self.val[side]["pdctThe"]
        return 0 if _is_null(inner) else int(inner.dereference()["nLength"])

    def to_string(self):
        return "CPSymmetricMap of %d A texts, %d B texts" % (self._texts("crdctA"), self._texts("crdctB"))

    def display_hint(self):
        return "array"

    def children(self):
        for i, pair in enumerate(symmetric_map_pairs(self.val)):
            if i >= LIMIT:
                break
            yield "[%d]" % i, pair.dereference()


# ---- nodes -------------------------------------------------------------------------


class CPBucketPrinter(_Printer):
    def to_string(self):
        return "CPBucket"

    def children(self):
        yield "item", self.val["pvTheData"]
        yield "prev", self.val["pbktPrev"]
        yield "next", self.val["pbktNext"]


class LeafPrinter(_Printer):
    def to_string(self):
        return "Leaf"

    def children(self):
        for name, field in (("key", "pvKey"), ("item", "pvData"), ("balance", "nBalance"),
                            ("left", "plfLeft"), ("right", "plfRight"), ("parent", "plfParent"),
                            ("prev", "plfPrev"), ("next", "plfNext")):
            yield name, self.val[field]


class CPDictionaryAssociationPrinter(_Printer):
    def to_string(self):
        is_text, key = association_key(self.val)
        if is_text:
            key = "<null>" if key is None else _quote(key)
        return "CPDictionaryAssociation %s -> 0x%x" % (key, int(self.val["pvValue"]))


class DictIndexPrinter(_Printer):
    """The dictionary's key index: cells in use and capacity."""

    def to_string(self):
        cells = self.val["cells"]
        capacity = 0 if _is_null(cells) else int(self.val["mask"]) + 1
        return "key index, %d of %d cells used" % (int(self.val["count"]), capacity)


# ---- iteration states ------------------------------------------------------------------


class _StatePrinter(_Printer):
    """A cursor object: the collection it walks and its position."""

    name = None

    def to_string(self):
        return self.name

    def position(self):
        raise NotImplementedError

    def children(self):
        collection = self.val["pclAssociated"]
        try:
            collection = collection.cast(collection.dynamic_type)
        except gdb.error:
            pass
        yield "collection", collection
        for child in self.position():
            yield child


class ListIterationStatePrinter(_StatePrinter):
    name = "ListIterationState"

    def position(self):
        node = self.val["pbktCursor"]
        yield "node", node
        if not _is_null(node):
            yield "item", node.dereference()["pvTheData"]
        yield "index", self.val["nDXCursor"]


class _IndexStatePrinter(_StatePrinter):
    """A slot index into a block; the item there while it is in use."""

    label = "index"
    owner = block = count = None

    def position(self):
        index = self.val["ulIndex"]
        yield self.label, index
        owner = self.val["pclAssociated"]
        if self.owner is None or _is_null(owner):
            return
        block = owner.cast(_type(self.owner).pointer()).dereference()
        if int(index) < int(block[self.count]):
            yield "item", block[self.block][int(index)]


class ArrayIterationStatePrinter(_IndexStatePrinter):
    name, owner, block, count = "ArrayIterationState", "CPArray", "arpvThe", "ulCurrentIndex"


class StackIterationStatePrinter(_IndexStatePrinter):
    name, owner, block, count = "StackIterationState", "CPStack", "arpvStack", "ulStackCount"
    label = "index from the bottom"


class VectorIterationStatePrinter(_IndexStatePrinter):
    name = "VectorIterationState"  # the vector holds nothing: no item


class DictionaryIterationStatePrinter(_StatePrinter):
    name = "DictionaryIterationState"

    def position(self):
        yield "slot", self.val["nCurrentSlot"]
        node = self.val["pbktCursor"]
        yield "node", node
        if not _is_null(node):
            entry = node.dereference()["pvTheData"].cast(_type("CPDictionaryAssociation").pointer())
            yield "entry", entry.dereference()


class TreeIterationStatePrinter(_StatePrinter):
    name = "TreeIterationState"

    def position(self):
        leaf = self.val["plfCursor"]
        yield "leaf", leaf
        if not _is_null(leaf):
            yield "item", leaf.dereference()["pvData"]


# ---- registration ---------------------------------------------------------------------


def build_printer():
    pp = gdb.printing.RegexpCollectionPrettyPrinter("tarncoll")
    for name, printer in (
        ("CPString", CPStringPrinter),
        ("W32String", CPStringPrinter),
        ("Createable", CreateablePrinter),
        ("CPList", CPListPrinter),
        ("CPHashTable", lambda v: CPListPrinter(v, "CPHashTable")),
        ("CPArray", CPArrayPrinter),
        ("CPStack", CPStackPrinter),
        ("CPVector", CPVectorPrinter),
        ("CPDictionary", CPDictionaryPrinter),
        ("CPTree", CPTreePrinter),
        ("CPQueue", CPQueuePrinter),
        ("CrList", CrListPrinter),
        ("CrDictionary", CrDictionaryPrinter),
        ("CrTree", CrTreePrinter),
        ("MapKeyPair", MapKeyPairPrinter),
        ("CPSymmetricMap", CPSymmetricMapPrinter),
        ("CPBucket", CPBucketPrinter),
        ("Leaf", LeafPrinter),
        ("CPDictionaryAssociation", CPDictionaryAssociationPrinter),
        ("ListIterationState", ListIterationStatePrinter),
        ("ArrayIterationState", ArrayIterationStatePrinter),
        ("StackIterationState", StackIterationStatePrinter),
        ("VectorIterationState", VectorIterationStatePrinter),
        ("DictionaryIterationState", DictionaryIterationStatePrinter),
        ("TreeIterationState", TreeIterationStatePrinter),
    ):
        pp.add_printer(name, "^%s$" % name, printer)
    pp.add_printer("DictIndex", "^%s<.*>$" % INTERNAL_TYPES["dict_index"], DictIndexPrinter)
    return pp


def register(objfile):
    """Registers the printers for objfile (None: for every program)."""
    gdb.printing.register_pretty_printer(objfile, build_printer(), replace=True)

// The member table: the 26 container classes, each with its iterator class,
// in the order the host registers them (the 16 with Text keys or values
// first).  A row names the class, its iterator class, its shape (what sits
// beside a key), its storage (hash table, or tree with keys ascending or from
// the greatest down), its key (or element) and value kinds, the type words
// its declarations use, and MaxSize.  Variant keys are found through an index
// beside the tree (storage/KeyIndex.h): their order cannot guide a search.
//
// Where a declaration's code is: the methods of MapShape and SetShape are
// listed in shape/MapClass.h and shape/SetClass.h, the properties in
// engine/Container.h, the storage's own in engine/StorageRows.h; each row
// names its function, defined in the same file or in engine/Container.h.
//
// A tree's MaxSize is 4294967295 divided by the size of one node: 32 bytes
// for a map with String, Text or Variant keys, 28 with Integer keys and
// handle values, 24 for Integer to Integer and for sets of handles, 20 for
// Integer sets.  Hash tables have no fixed limit (-1).
#pragma once

// clang-format off
#define KDT_CONTAINER_MEMBERS(X) \
  X(IntegerToTextHashMapKDT,       IntegerToTextHashMapIteratorKDT,       MapShape, HashStorage,   IntegerKind, TextKind,    "integer", "text",    -1)        \
  X(IntegerToTextOrderedMapKDT,    IntegerToTextOrderedMapIteratorKDT,    MapShape, AscendingTree, IntegerKind, TextKind,    "integer", "Text",    153391689) \
  X(TextHashSetKDT,                TextHashSetIteratorKDT,                SetShape, HashStorage,   TextKind,    TextKind,    "Text",    "Text",    -1)        \
  X(TextOrderedSetKDT,             TextOrderedSetIteratorKDT,             SetShape, AscendingTree, TextKind,    TextKind,    "Text",    "",        178956970) \
  X(TextToTextHashMapKDT,          TextToTextHashMapIteratorKDT,          MapShape, HashStorage,   TextKind,    TextKind,    "Text",    "Text",    -1)        \
  X(TextToTextOrderedMapKDT,       TextToTextOrderedMapIteratorKDT,       MapShape, DescendingTree, TextKind,   TextKind,    "Text",    "Text",    134217727) \
  X(TextToVariantHashMapKDT,       TextToVariantHashMapIteratorKDT,       MapShape, HashStorage,   TextKind,    VariantKind, "Text",    "Variant", -1)        \
  X(TextToVariantOrderedMapKDT,    TextToVariantOrderedMapIteratorKDT,    MapShape, DescendingTree, TextKind,   VariantKind, "Text",    "variant", 134217727) \
  X(IntegerHashSetKDT,             IntegerHashSetIteratorKDT,             SetShape, HashStorage,   IntegerKind, IntegerKind, "integer", "integer", -1)        \
  X(IntegerOrderedSetKDT,          IntegerOrderedSetIteratorKDT,          SetShape, AscendingTree, IntegerKind, IntegerKind, "integer", "",        214748364) \
  X(IntegerToIntegerHashMapKDT,    IntegerToIntegerHashMapIteratorKDT,    MapShape, HashStorage,   IntegerKind, IntegerKind, "integer", "integer", -1)        \
  X(IntegerToIntegerOrderedMapKDT, IntegerToIntegerOrderedMapIteratorKDT, MapShape, AscendingTree, IntegerKind, IntegerKind, "integer", "integer", 178956970) \
  X(IntegerToStringHashMapKDT,     IntegerToStringHashMapIteratorKDT,     MapShape, HashStorage,   IntegerKind, StringKind,  "integer", "string",  -1)        \
  X(IntegerToStringOrderedMapKDT,  IntegerToStringOrderedMapIteratorKDT,  MapShape, AscendingTree, IntegerKind, StringKind,  "integer", "string",  153391689) \
  X(IntegerToVariantHashMapKDT,    IntegerToVariantHashMapIteratorKDT,    MapShape, HashStorage,   IntegerKind, VariantKind, "integer", "variant", -1)        \
  X(IntegerToVariantOrderedMapKDT, IntegerToVariantOrderedMapIteratorKDT, MapShape, AscendingTree, IntegerKind, VariantKind, "integer", "variant", 153391689) \
  X(StringHashSetKDT,              StringHashSetIteratorKDT,              SetShape, HashStorage,   StringKind,  StringKind,  "string",  "string",  -1)        \
  X(StringOrderedSetKDT,           StringOrderedSetIteratorKDT,           SetShape, AscendingTree, StringKind,  StringKind,  "string",  "",        178956970) \
  X(StringToStringHashMapKDT,      StringToStringHashMapIteratorKDT,      MapShape, HashStorage,   StringKind,  StringKind,  "string",  "string",  -1)        \
  X(StringToStringOrderedMapKDT,   StringToStringOrderedMapIteratorKDT,   MapShape, DescendingTree, StringKind, StringKind,  "string",  "string",  134217727) \
  X(StringToVariantHashMapKDT,     StringToVariantHashMapIteratorKDT,     MapShape, HashStorage,   StringKind,  VariantKind, "string",  "variant", -1)        \
  X(StringToVariantOrderedMapKDT,  StringToVariantOrderedMapIteratorKDT,  MapShape, DescendingTree, StringKind, VariantKind, "string",  "variant", 134217727) \
  X(VariantHashSetKDT,             VariantHashSetIteratorKDT,             SetShape, HashStorage,   VariantKind, VariantKind, "variant", "variant", -1)        \
  X(VariantOrderedSetKDT,          VariantOrderedSetIteratorKDT,          SetShape, AscendingIndexedTree, VariantKind, VariantKind, "variant", "",        178956970) \
  X(VariantToVariantHashMapKDT,    VariantToVariantHashMapIteratorKDT,    MapShape, HashStorage,   VariantKind, VariantKind, "variant", "variant", -1)        \
  X(VariantToVariantOrderedMapKDT, VariantToVariantMapIteratorKDT,        MapShape, DescendingIndexedTree, VariantKind, VariantKind, "variant", "variant", 134217727)
// clang-format on

// Variant keys: the host's type code of a Variant, and the hash, equality and
// total order over Variants of mixed types, case-sensitive (S) and
// case-insensitive (I).
//
// Variants of one type code compare by value (numbers numerically, Strings
// and Texts through the String and Text keys); Variants of different codes,
// and of codes without a value order, compare by reference.  A nil Variant
// sorts first.
#pragma once

#include <cstdint>

#include "plugin/host/HostTypes.h"
#include "values/Handles.h"
#include "values/KeyViews.h"
#include "values/StringKeys.h"
#include "values/VariantCodes.h"

namespace kdt {

// Type code of a Variant; 0 when the host cannot tell (or for nil).
int32_t VariantTypeCode(REALobject v);

// Stored Variant keys (KeyViews.h), read through their views.
//
// KeyIndexOrder is a strict total order that is 0 exactly where KeyCompare
// is 0.  The compare orders Variants of different codes by reference and puts
// a NaN after every number both ways, so it is not transitive and cannot
// guide a search over mixed keys; the index order sorts by type code first,
// puts NaNs after all numbers of their code (among themselves by reference)
// and agrees with the compare everywhere else.
uint32_t KeyHash(const VariantKey<CaseMode::S>& k);
uint32_t KeyHash(const VariantKey<CaseMode::I>& k);
int32_t KeyCompare(const VariantKey<CaseMode::S>& a, const VariantKey<CaseMode::S>& b);
int32_t KeyCompare(const VariantKey<CaseMode::I>& a, const VariantKey<CaseMode::I>& b);
int32_t KeyIndexOrder(const VariantKey<CaseMode::S>& a, const VariantKey<CaseMode::S>& b);
int32_t KeyIndexOrder(const VariantKey<CaseMode::I>& a, const VariantKey<CaseMode::I>& b);

}  // namespace kdt

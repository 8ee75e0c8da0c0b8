// Decoding of the transaction documents into records.
//
// A document is one JSON value, with whitespace around it allowed: an object
// whose members come in any order, and for some records (documents.cpp's
// layouts say which) also an array of the fields in declaration order. The
// records of orders carry the common order fields (OrderBase) among their
// own members, at the same level. Unknown members are ignored. Numbers travel
// as JSON strings (decimal, or hexadecimal for the 256-bit values and the
// signed synthetic asset id).
//
// Which fault a document with several gets: a fault in a member value, or a
// repeated field of the record's own, as soon as it is read; then the record's
// own missing fields in declaration order; then the common order fields
// (faults, repeats, absences) at the closing brace.
#pragma once

#include <string_view>

#include "common/error.h"
#include "json/reader.h"
#include "sdk/document_kinds.h"
#include "sdk/records.h"

namespace lumora::sdk {

// The record of a document, for each record of LUMORA_SDK_DOCUMENT_KINDS
// (sdk/document_kinds.h). A rejected document is an error value without
// causes: the fault's message and its position, which the report appends
// (" at line L column C").
template <class Record>
Result<Record> parse_document(std::string_view json);

// The same, unwrapped: a rejected document aborts with
// "called `Result::unwrap()` on an `Err` value: Error(\"…\", line: L, column: C)".
template <class Record>
Record parse_document_or_abort(std::string_view json);

}  // namespace lumora::sdk

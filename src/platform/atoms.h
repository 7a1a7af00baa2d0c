// The program's table of frame names: reference-counted, case-insensitive, names up to 255 characters.
// Shared by every document; safe to use from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lw {

using Atom = uint16_t;  // 0 = none

constexpr size_t kMaxAtomLength = 255;

// Adds a reference to the name (an existing entry that differs only in letter case is shared, and keeps
// the letter case it was first added with). Longer names are cut to 255 characters. Gives 0 only when
// the table is full.
Atom AddAtom(std::string_view name);
// Drops one reference; the entry goes when the last one is dropped. Unknown atoms are ignored.
void DeleteAtom(Atom atom);
// The name of an atom ("" for 0 or an unknown atom).
std::string GetAtomName(Atom atom);
// The atom of a name without adding a reference, 0 when absent.
Atom FindAtom(std::string_view name);
// Reference count of an atom (0 when unknown); for tests and diagnostics.
uint32_t AtomRefCount(Atom atom);

}  // namespace lw

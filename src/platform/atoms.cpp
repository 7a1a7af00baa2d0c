#include "platform/atoms.h"

#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace lw {
namespace {

std::string FoldCase(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

struct Entry {
  std::string name;
  uint32_t refs = 0;
};

struct Table {
  std::mutex mutex;
  std::vector<Entry> entries{1};  // index 0 is never used: atom 0 means none
  std::vector<Atom> freeList;
  std::unordered_map<std::string, Atom> byFolded;
};

Table& TheTable() {
  static Table table;
  return table;
}

}  // namespace

Atom AddAtom(std::string_view name) {
  if (name.size() > kMaxAtomLength) name = name.substr(0, kMaxAtomLength);
  Table& t = TheTable();
  std::lock_guard lock(t.mutex);
  std::string folded = FoldCase(name);
  if (auto it = t.byFolded.find(folded); it != t.byFolded.end()) {
    ++t.entries[it->second].refs;
    return it->second;
  }
  Atom atom;
  if (!t.freeList.empty()) {
    atom = t.freeList.back();
    t.freeList.pop_back();
  } else {
    if (t.entries.size() > 0xFFFF) return 0;
    atom = static_cast<Atom>(t.entries.size());
    t.entries.emplace_back();
  }
  t.entries[atom] = Entry{std::string(name), 1};
  t.byFolded.emplace(std::move(folded), atom);
  return atom;
}

void DeleteAtom(Atom atom) {
  Table& t = TheTable();
  std::lock_guard lock(t.mutex);
  if (atom == 0 || atom >= t.entries.size() || t.entries[atom].refs == 0) return;
  if (--t.entries[atom].refs == 0) {
    t.byFolded.erase(FoldCase(t.entries[atom].name));
    t.entries[atom].name.clear();
    t.freeList.push_back(atom);
  }
}

std::string GetAtomName(Atom atom) {
  Table& t = TheTable();
  std::lock_guard lock(t.mutex);
  if (atom == 0 || atom >= t.entries.size() || t.entries[atom].refs == 0) return {};
  return t.entries[atom].name;
}

Atom FindAtom(std::string_view name) {
  if (name.size() > kMaxAtomLength) name = name.substr(0, kMaxAtomLength);
  Table& t = TheTable();
  std::lock_guard lock(t.mutex);
  auto it = t.byFolded.find(FoldCase(name));
  return it == t.byFolded.end() ? 0 : it->second;
}

uint32_t AtomRefCount(Atom atom) {
  Table& t = TheTable();
  std::lock_guard lock(t.mutex);
  if (atom == 0 || atom >= t.entries.size()) return 0;
  return t.entries[atom].refs;
}

}  // namespace lw

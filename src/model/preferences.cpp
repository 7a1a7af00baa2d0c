#include "model/preferences.h"

#include <atomic>
#include <cstdio>
#include <mutex>

#include "platform/settings_store.h"

namespace lw {
namespace {

// Slots are read from worker threads (optimizer and reducer previews), so each is atomic.
std::array<std::atomic<uint32_t>, kPrefCount> g_slots{100, 0, 1, 0x181, 0x80182, 2, 0, 0, 0x10007};
std::mutex g_storeMutex;
SettingsStore* g_store = nullptr;

}  // namespace

PreferenceRecord DefaultPreferences() {
  return {100, 0, 1, 0x181, 0x80182, 2, 0, 0, 0x10007};
}

void ReadPreferences(SettingsStore* store) {
  PreferenceRecord record = DefaultPreferences();
  {
    std::lock_guard lock(g_storeMutex);
    g_store = store;
  }
  if (store && store->Exists()) {
    if (auto bytes = store->GetBinary("Pref"); bytes && bytes->size() <= 4 * kPrefCount) {
      // Byte by byte over the little-endian slots, as reading the value straight over the record would.
      for (size_t i = 0; i < bytes->size(); ++i) {
        uint32_t& slot = record[i / 4];
        unsigned shift = 8 * (i % 4);
        slot = (slot & ~(0xFFu << shift)) | (uint32_t{(*bytes)[i]} << shift);
      }
    }
    if (store->Delete("Delay")) {
      for (const char* name : {"Iter", "Clip", "PalMerge", "HiColor"}) store->Delete(name);
    }
  }
  for (int i = 0; i < kPrefCount; ++i) g_slots[static_cast<size_t>(i)] = record[static_cast<size_t>(i)];
}

uint32_t GetPreference(int slot) {
  if (slot < 0 || slot >= kPrefCount) return 0;
  return g_slots[static_cast<size_t>(slot)];
}

SettingsStore* PreferenceStore() {
  std::lock_guard lock(g_storeMutex);
  return g_store;
}

PreferenceRecord GetPreferenceRecord() {
  PreferenceRecord r;
  for (int i = 0; i < kPrefCount; ++i) r[static_cast<size_t>(i)] = g_slots[static_cast<size_t>(i)];
  return r;
}

void SetPreference(int slot, uint32_t value) {
  if (slot < 0 || slot >= kPrefCount) return;
  g_slots[static_cast<size_t>(slot)] = value;
  std::lock_guard lock(g_storeMutex);
  if (!g_store) return;
  SettingsStore::Binary bytes;
  for (uint32_t v : GetPreferenceRecord())
    for (int b = 0; b < 4; ++b) bytes.push_back(static_cast<uint8_t>(v >> (8 * b)));
  g_store->SetBinary("Pref", bytes);
}

void OverridePreference(int slot, uint32_t value) {
  if (slot >= 0 && slot < kPrefCount) g_slots[static_cast<size_t>(slot)] = value;
}

std::string DescribePreference(int slot, uint32_t value) {
  char buf[256];
  auto choice = [](uint32_t v) {
    std::string s;
    static const char* names[] = {
        "merge", "adaptive", "global only", "web cube", "web cube (remap all)", "picture's palette as local"};
    for (int b = 0; b < 6; ++b)
      if (v & (1u << b)) s += (s.empty() ? "" : "+") + std::string(names[b]);
    if (v & 0x200) s += std::string(s.empty() ? "" : "+") + "best for video";
    if (s.empty()) s = "none";
    if (v & 0x80) s += ", dither";
    if (v & 0x100) s += ", always ask";
    if (v & 0x2) s += ", " + std::to_string(1u << ((v >> 16) & 0xFF)) + " colours";
    return s;
  };
  switch (slot) {
    case kPrefDefaultDelay:
      std::snprintf(buf, sizeof buf, "default delay: %u/100 s", value);
      break;
    case kPrefDefaultIterations:
      std::snprintf(buf, sizeof buf, "default iterations: %u%s", value, value == 0 ? " (loop for ever)" : "");
      break;
    case kPrefSizeConflict:
      std::snprintf(buf, sizeof buf, "size conflict: %s",
                    value == 2   ? "clip the inserted frame"
                    : value == 3 ? "grow the current size"
                                 : "always ask");
      break;
    case kPrefPaletteConflict:
      std::snprintf(buf, sizeof buf, "palette conflict: %s", choice(value).c_str());
      break;
    case kPrefHighColor:
      std::snprintf(buf, sizeof buf, "full-colour pictures: %s", choice(value).c_str());
      break;
    case kPrefOptimize:
      std::snprintf(buf, sizeof buf, "optimization choices: 0x%x", value);
      break;
    case kPrefFlags:
      std::snprintf(buf, sizeof buf, "flags: 0x%x", value);
      break;
    case kPrefTransparencyView: {
      uint32_t mode = value >> 24;
      std::snprintf(buf, sizeof buf, "transparency view: %s, colour #%02x%02x%02x",
                    mode == 1   ? "colour in frame"
                    : mode == 2 ? "custom colour"
                                : "window background",
                    value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
      break;
    }
    case kPrefReduce:
      std::snprintf(buf, sizeof buf, "palette reduction: %u bits per pixel%s", value & 0xFFFF,
                    (value & 0x10000) ? ", dither" : "");
      break;
    default:
      std::snprintf(buf, sizeof buf, "unknown slot");
  }
  return buf;
}

}  // namespace lw

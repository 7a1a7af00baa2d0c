#include "edit/comments.h"

#include "model/preferences.h"
#include "platform/settings_store.h"
#include "platform/ui_hooks.h"

namespace lw {

namespace {

constexpr char kSignaturePrefix[] = "Built with Loopwright";
constexpr char kDefaultSignature[] = "Built with Loopwright 2.0";

}  // namespace

std::string GetSignatureText(bool ignoreOffFlag) {
  if (!ignoreOffFlag && (GetPreference(kPrefFlags) & kPrefNoSignature)) return {};
  std::string text = kDefaultSignature;
  if (SettingsStore* store = PreferenceStore())
    if (auto stored = store->GetString("Sig")) text = *stored;
  if (text.size() > kMaxSignatureLength) text.resize(kMaxSignatureLength);
  return text;
}

bool SetSignatureText(const std::string& text) {
  SettingsStore* store = PreferenceStore();
  if (!store) return false;
  store->SetString("Sig", text.substr(0, kMaxSignatureLength));
  return true;
}

namespace {

// Whether a comment is a signature an earlier save added. Our own signature is recognised even while
// signatures are turned off, so that turning them off takes the old one out of the file.
bool IsOldSignature(const GifBlock& b, const std::string& own) {
  if (b.kind != kCommentBlock) return false;
  const std::string text = GetCommentText(b);
  return text.rfind(kSignaturePrefix, 0) == 0 || (!own.empty() && text == own);
}

// The signature comment a save puts in; null when signatures are off (or memory ran out).
std::unique_ptr<ExtensionBlock> NewSignatureBlock() {
  const std::string signature = GetSignatureText(false);
  if (signature.empty()) return nullptr;
  auto comment = NewExtensionBlock(kCommentBlock);
  if (!comment || !SetCommentText(*comment, signature)) return nullptr;
  return comment;
}

// The bytes an extension takes in the file: introducer and label, its sub-blocks up to the first zero
// length (one that runs past the end is dropped, as the writer does), the terminator.
int64_t WrittenBytes(const ExtensionBlock& e) {
  const std::vector<uint8_t>& s = e.subBlocks;
  size_t i = 0;
  while (i < s.size() && s[i] != 0 && i + 1 + s[i] <= s.size()) i += 1 + s[i];
  return static_cast<int64_t>(i) + 3;
}

}  // namespace

void RenewSignatureComment(Animation& a) {
  const std::string own = GetSignatureText(true);
  for (GifBlock* b = a.head ? a.head->next : nullptr; b;) {
    GifBlock* next = b->next;
    if (IsOldSignature(*b, own)) UnlinkAndFreeBlock(b);
    b = next;
  }
  if (auto comment = NewSignatureBlock()) InsertBlockAfter(a.head, std::move(comment));
}

int64_t SignatureSizeChange(const Animation& a) {
  const std::string own = GetSignatureText(true);
  int64_t change = 0;
  for (const GifBlock* b = a.head ? a.head->next : nullptr; b; b = b->next)
    if (IsOldSignature(*b, own)) change -= WrittenBytes(static_cast<const ExtensionBlock&>(*b));
  if (auto comment = NewSignatureBlock()) change += WrittenBytes(*comment);
  return change;
}

std::vector<ExtensionBlock*> CommentBlocks(const Animation& a) {
  std::vector<ExtensionBlock*> out;
  for (GifBlock* b = a.head ? a.head->next : nullptr; b; b = b->next)
    if (b->kind == kCommentBlock) out.push_back(static_cast<ExtensionBlock*>(b));
  return out;
}

std::string CommentSummary(const std::string& text) {
  size_t end = text.find_first_of("\r\n");
  if (end == std::string::npos) return text;
  return text.substr(0, end) + " ...";
}

bool CheckCommentLength(const std::string& text, size_t maxLength) {
  if (text.size() <= maxLength) return true;
  Hooks().MessageBox("Comment Too Long",
                     "The comment string must be shorter than 255 characters. Use multiple comment blocks "
                     "if necessary.",
                     MsgButtons::Ok, MsgIcon::Exclamation);
  return false;
}

ExtensionBlock* AddComment(Animation& a, const std::string& text, const ExtensionBlock* selected) {
  auto comment = NewExtensionBlock(kCommentBlock);
  if (!comment || !SetCommentText(*comment, text)) return nullptr;
  std::vector<ExtensionBlock*> all = CommentBlocks(a);
  GifBlock* after = a.head;
  if (!selected) {
    if (!all.empty()) after = all.back();
  } else {
    for (size_t i = 0; i < all.size(); ++i)
      if (all[i] == selected) after = i == 0 ? a.head : all[i - 1];
  }
  return static_cast<ExtensionBlock*>(InsertBlockAfter(after, std::move(comment)));
}

}  // namespace lw

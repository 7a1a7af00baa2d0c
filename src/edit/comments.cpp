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

void RenewSignatureComment(Animation& a) {
  // Our own signature is recognised even while signatures are turned off, so that turning them off
  // takes the old one out of the file.
  const std::string own = GetSignatureText(true);
  for (GifBlock* b = a.head ? a.head->next : nullptr; b;) {
    GifBlock* next = b->next;
    if (b->kind == kCommentBlock) {
      std::string text = GetCommentText(*b);
      if (text.rfind(kSignaturePrefix, 0) == 0 || (!own.empty() && text == own)) UnlinkAndFreeBlock(b);
    }
    b = next;
  }
  const std::string signature = GetSignatureText(false);
  if (signature.empty()) return;
  auto comment = NewExtensionBlock(kCommentBlock);
  if (!comment || !SetCommentText(*comment, signature)) return;
  InsertBlockAfter(a.head, std::move(comment));
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

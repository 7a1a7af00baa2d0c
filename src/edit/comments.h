// The GIF comment blocks of an animation and the signature comment added when it is saved.
#pragma once

#include <string>
#include <vector>

#include "model/animation.h"

namespace lw {

// A comment block holds one text of at most 254 characters here (the editors refuse longer ones).
constexpr size_t kMaxCommentLength = 254;
constexpr size_t kMaxSignatureLength = 255;

// The signature text: the stored "Sig" value, else "Built with Loopwright 2.0". Empty when signatures are
// turned off (flag 8 of preference slot 6), unless told to ignore that flag.
std::string GetSignatureText(bool ignoreOffFlag = false);
// Stores the signature text as "Sig"; gives false when there is no settings store to keep it in.
bool SetSignatureText(const std::string& text);

// Removes the comments that earlier saves added (those starting with "Built with Loopwright" and those
// equal to the signature text) and, when there is a signature, puts it as a comment right after the
// header, so that saving twice leaves exactly one signature at the front.
void RenewSignatureComment(Animation& a);

// How many bytes RenewSignatureComment would add to the saved file (negative when it takes out more than
// it puts in), so that a size shown before a save is the size the save gives. Changes nothing.
int64_t SignatureSizeChange(const Animation& a);

// Every comment block, in file order.
std::vector<ExtensionBlock*> CommentBlocks(const Animation& a);
// How a comment shows in the comments list: up to its first line break, then " ..." when it had one.
std::string CommentSummary(const std::string& text);
// Refuses (with the "Comment Too Long" box) a text the comment editors do not accept.
bool CheckCommentLength(const std::string& text, size_t maxLength = kMaxCommentLength);
// Adds a comment where the comment editor's "Add..." puts it: before the selected comment (after the
// comment above it, or after the header when it is the first), or after the last comment when none is
// selected (after the header when there is none). Gives the new block, null when it cannot be made.
ExtensionBlock* AddComment(Animation& a, const std::string& text, const ExtensionBlock* selected);

}  // namespace lw

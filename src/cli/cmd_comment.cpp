// comment: list, add and remove the GIF comment blocks.
#include <cstdio>

#include "cli/cli.h"
#include "cli/cli_edit.h"
#include "cli/cli_gif_read.h"
#include "cli/cli_save.h"
#include "edit/comments.h"

namespace lw::cli {
namespace {

constexpr const char* kName = "comment";

int RunComment(const std::vector<std::string>& raw) {
  Args args(raw, {"-o", "--before"});
  if (!args.ok()) return UsageError(kName, args.error());
  if (auto unknown = args.Unknown({"-o", "--before"}); !unknown.empty())
    return UsageError(kName, "unknown option " + unknown[0]);
  const auto& pos = args.positional();
  if (pos.size() < 2) return UsageError(kName, "give list, add or remove and a file");
  const std::string& action = pos[0];
  AnimationPtr a;
  if (action == "list") {
    if (pos.size() != 2) return UsageError(kName, "comment list IN");
    if (int r = ReadForCommand(pos[1], false, &a); r != kExitOk) return r;
    int n = 0;
    for (ExtensionBlock* c : CommentBlocks(*a))
      std::printf("%d  %s\n", ++n, CommentSummary(GetCommentText(*c)).c_str());
    return kExitOk;
  }
  auto out = args.Value("-o");
  if (!out || out->empty()) return UsageError(kName, "-o OUT is needed");
  if (action == "add") {
    if (pos.size() != 3) return UsageError(kName, "comment add IN -o OUT TEXT [--before N]");
    if (int r = ReadForCommand(pos[1], false, &a); r != kExitOk) return r;
    if (!CheckCommentLength(pos[2])) return kExitFailed;
    std::vector<ExtensionBlock*> comments = CommentBlocks(*a);
    const ExtensionBlock* selected = nullptr;
    if (auto before = args.Value("--before")) {
      auto n = ParseInt(*before, 1, static_cast<long long>(comments.size()));
      if (!n)
        return UsageError(kName, "--before names a comment from 1 to " + std::to_string(comments.size()));
      selected = comments[static_cast<size_t>(*n - 1)];
    }
    if (!AddComment(*a, pos[2], selected)) {
      std::fprintf(stderr, "loopwright-cli: Unable to allocate memory for new comment\n");
      return kExitFailed;
    }
  } else if (action == "remove") {
    if (pos.size() != 3) return UsageError(kName, "comment remove IN -o OUT N");
    if (int r = ReadForCommand(pos[1], false, &a); r != kExitOk) return r;
    std::vector<ExtensionBlock*> comments = CommentBlocks(*a);
    auto n = ParseInt(pos[2], 1, static_cast<long long>(comments.size()));
    if (!n) return UsageError(kName, "N names a comment from 1 to " + std::to_string(comments.size()));
    UnlinkAndFreeBlock(comments[static_cast<size_t>(*n - 1)]);
  } else {
    return UsageError(kName, "the action is list, add or remove");
  }
  return SaveForCommand(*out, *a);
}

}  // namespace

LW_CLI_COMMAND("comment", "list IN | add IN -o OUT TEXT [--before N] | remove IN -o OUT N",
               "list the GIF comments (1 = first; text up to the first line break), add one (after the last, "
               "or before comment N) or remove comment N",
               RunComment);

}  // namespace lw::cli

// html: the image tag for an animation.
#include <cstdio>

#include "cli/cli.h"
#include "cli/cli_edit.h"
#include "cli/cli_gif_read.h"
#include "cli/cli_save.h"
#include "io/html_tag.h"

namespace lw::cli {
namespace {

int RunHtml(const std::vector<std::string>& raw) {
  Args args(raw, {"--link", "--alt", "--border"});
  if (!args.ok()) return UsageError("html", args.error());
  if (auto unknown = args.Unknown({"--link", "--alt", "--border"}); !unknown.empty())
    return UsageError("html", "unknown option " + unknown[0]);
  if (args.positional().size() != 1) return UsageError("html", "give one file");
  std::string border = args.Value("--border").value_or("0");
  if (!ParseInt(border, 0, 100)) return UsageError("html", "--border takes 0 to 100 pixels");
  AnimationPtr a;
  if (int r = ReadForCommand(args.positional()[0], false, &a); r != kExitOk) return r;
  HtmlTagFields fields;
  fields.fileName = HtmlBaseName(args.positional()[0]);
  fields.link = args.Value("--link").value_or("");
  fields.description = args.Value("--alt").value_or("");
  fields.border = border;
  std::printf("%s\n", BuildHtmlTag(*a, fields).c_str());
  return kExitOk;
}

}  // namespace

LW_CLI_COMMAND("html", "IN [--link URL] [--alt TEXT] [--border N]",
               "print the HTML image tag for the file (its name, screen size, link, border and description)",
               RunHtml);

}  // namespace lw::cli

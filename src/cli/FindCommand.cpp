#include "cli/Command.h"

#include "search/ProjectSearch.h"
#include "store/Codec.h"
#include "store/Project.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

namespace cli {

namespace {

// The key in the program's code page. A line break typed into the key (LF,
// as a shell passes it) stands for the memo's CR LF.
bool FindKey(const std::string &utf8, std::string &key, std::ostream &err) {
  if (utf8.empty()) {
    err << "orvane-cli find: the key is empty\n";
    return false;
  }
  const cp932::Encoded e = cp932::FromUtf8(utf8);
  if (!e.ok()) {
    err << "orvane-cli find: the key cannot be written in Shift-JIS:";
    for (char32_t c : e.unmappable) {
      char code[16];
      std::snprintf(code, sizeof code, " U+%04X", static_cast<unsigned>(c));
      err << code;
    }
    if (std::find(e.unmappable.begin(), e.unmappable.end(), U'\uFFFD') != e.unmappable.end())
      err << " (U+FFFD: bytes that are not UTF-8)";
    err << "\n";
    return false;
  }
  key.clear();
  key.reserve(e.bytes.size());
  for (size_t i = 0; i < e.bytes.size(); ++i) {
    if (e.bytes[i] == '\n' && (i == 0 || e.bytes[i - 1] != '\r'))
      key += '\r';
    key += e.bytes[i];
  }
  return true;
}

// "ID LINE:COLUMN TEXT" for each hit of one item.
void AddHits(const TProjectNode &n, const std::vector<size_t> &hits, std::string &found) {
  const std::string id = Show(n.Data()->ID);
  const std::string &joined = n.Data()->Files.Body.Joined();
  // The line that holds each hit, walked forward (the hits come in order);
  // memo positions count a line break as two bytes.
  size_t line = 0, memoStart = 0, start = 0;
  size_t end = joined.find('\n');
  for (size_t p : hits) {
    while (end != std::string::npos && memoStart + (end - start) + 2 <= p) {
      memoStart += end - start + 2;
      start = end + 1;
      end = joined.find('\n', start);
      ++line;
    }
    const size_t length = (end == std::string::npos ? joined.size() : end) - start;
    found += id;
    found += ' ';
    found += std::to_string(line);
    found += ':';
    found += std::to_string(p - memoStart + 1);
    found += ' ';
    found += Show(std::string_view(joined).substr(start, length));
    found += '\n';
  }
}

int Find(Call &call) {
  if (call.operands.size() != 2) {
    call.err << "orvane-cli find: expected a project directory and a key\n";
    return kUsage;
  }
  const bool first = !call.options.empty();
  std::string key;
  if (!FindKey(call.operands[1], key, call.err))
    return kUsage;
  const CommandProject project(call);
  if (!project.Loaded())
    return kFailed;
  // Printed in one piece: a project can hold many hits.
  std::string found;
  for (const TProjectNode *n = project->Tree().GetFirstNode(); n; n = n->GetNext()) {
    const std::vector<size_t> hits =
        search::AllHits(n->Data()->Files.Body, key, first ? 1 : search::npos);
    if (hits.empty())
      continue;
    AddHits(*n, hits, found);
    if (first)
      break;
  }
  call.out << found;
  return found.empty() ? kFailed : kOk;
}

} // namespace

extern const Command kFind{
    .name = "find",
    .summary = "print where a text occurs in the items of a project",
    .help = "usage: orvane-cli find DIR KEY [--first]\n"
            "\n"
            "Loads the project in directory DIR and prints every place where KEY occurs\n"
            "in an item's text, in tree order (each item before its children), the\n"
            "places of one item one after another from its start, one line each:\n"
            "\n"
            "  ID LINE:COLUMN TEXT\n"
            "\n"
            "  ID      the item's identifier\n"
            "  LINE    the text line of the place's start, counted from 0\n"
            "  COLUMN  its byte column in Shift-JIS, counted from 1 (a double-byte\n"
            "          character takes two columns)\n"
            "  TEXT    that line, escaped as the tree command prints titles\n"
            "\n"
            "KEY is matched as the editor's find does: case-sensitive, in Shift-JIS,\n"
            "never starting or ending inside a double-byte character. A line break in\n"
            "KEY matches the end of a line. A KEY that starts with '-' follows '--'.\n"
            "  --first  print the first place only\n"
            "\n"
            "Exits 0 when something was found, 1 when nothing was or DIR is not a\n"
            "project, 2 for a wrong command line (also an empty KEY, or one that\n"
            "Shift-JIS cannot hold).\n",
    .options = {{"--first"}},
    .run = Find};

} // namespace cli

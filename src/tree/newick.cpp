#include "tree/newick.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <functional>
#include <limits>
#include <memory>
#include <utility>

#include "log/io_error.h"

namespace dorvu {

namespace {

// A place in the text: 1-based line and column (in bytes).
struct Position {
  int64_t line = 1;
  int64_t column = 1;
};

// The reading place in the text.
struct Cursor {
  std::string_view text;
  std::size_t at = 0;                              // offset of the next byte
  int64_t line = 1;                                // line of that byte
  std::size_t lineStart = 0;                       // offset of the first byte of that line
  std::size_t skippedTo = std::string_view::npos;  // where the last skip of blanks and comments stopped
  Position tokenEnd;                               // just after the last token: where "the text ended" points
};

// The tree as it grows, one vertex at a time in written order.
struct Growing {
  NewickTree tree;
  std::vector<Position> start;   // where the text of each vertex starts: its '(' or its tip name
  std::vector<int32_t> open;     // vertices whose ')' is still to come, outermost first
  std::vector<int32_t> tipSlot;  // the tips by name, an open-addressing table; -1 where free
};

Position Here(const Cursor& cursor) { return {cursor.line, static_cast<int64_t>(cursor.at - cursor.lineStart) + 1}; }

[[noreturn]] void Refuse(Position where, std::string message) {
  throw NewickError{where.line, where.column, std::move(message)};
}

std::string PlaceText(Position where) {
  return "line " + std::to_string(where.line) + ", column " + std::to_string(where.column);
}

bool AtEnd(const Cursor& cursor) { return cursor.at == cursor.text.size(); }

char Peek(const Cursor& cursor) { return cursor.text[cursor.at]; }

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsLabelByte(char c) { return !IsBlank(c) && std::string_view("()[]':;,").find(c) == std::string_view::npos; }

bool StartsLabel(const Cursor& cursor) { return !AtEnd(cursor) && (Peek(cursor) == '\'' || IsLabelByte(Peek(cursor))); }

// A byte for a message: in quotes when printable, else by its code.
std::string ByteText(char c) {
  if (c > ' ' && c < 127) return std::string("'") + c + "'";
  char code[16];
  std::snprintf(code, sizeof code, "byte 0x%02X", static_cast<unsigned char>(c));
  return code;
}

[[noreturn]] void RefuseUnexpected(Position where, char c) {
  if (c == ']') Refuse(where, "']' outside a comment");
  Refuse(where, "unexpected " + ByteText(c));
}

[[noreturn]] void RefuseUnclosed(const Growing& growing, Position where) {
  Refuse(where, "unclosed '(' (opened at " + PlaceText(growing.start[growing.open.back()]) + ")");
}

// Steps over one byte, counting lines.
void Step(Cursor& cursor) {
  if (cursor.text[cursor.at++] == '\n') {
    ++cursor.line;
    cursor.lineStart = cursor.at;
  }
}

void SkipComment(Cursor& cursor) {
  const Position start = Here(cursor);
  while (!AtEnd(cursor) && Peek(cursor) != ']') Step(cursor);
  if (AtEnd(cursor)) Refuse(start, "unclosed comment");
  Step(cursor);
}

void SkipBlanksAndComments(Cursor& cursor) {
  // A second call in a row must keep the end of the token before the first.
  if (cursor.at == cursor.skippedTo) return;
  cursor.tokenEnd = Here(cursor);
  while (!AtEnd(cursor) && (IsBlank(Peek(cursor)) || Peek(cursor) == '[')) {
    if (Peek(cursor) == '[')
      SkipComment(cursor);
    else
      Step(cursor);
  }
  cursor.skippedTo = cursor.at;
}

std::string ReadQuotedLabel(Cursor& cursor) {
  const Position start = Here(cursor);
  std::string label;
  for (++cursor.at; !AtEnd(cursor); ++cursor.at) {
    const char c = Peek(cursor);
    if (c == '\n' || c == '\r') Refuse(Here(cursor), "a label holding a line end");
    if (c != '\'') {
      label += c;
    } else if (cursor.at + 1 < cursor.text.size() && cursor.text[cursor.at + 1] == '\'') {
      label += c;
      ++cursor.at;
    } else {
      ++cursor.at;
      return label;
    }
  }
  Refuse(start, "unclosed quote");
}

std::string_view ReadUnquoted(Cursor& cursor) {
  const std::size_t from = cursor.at;
  while (!AtEnd(cursor) && IsLabelByte(Peek(cursor))) ++cursor.at;
  return cursor.text.substr(from, cursor.at - from);
}

// The label that starts at the cursor, unquoted.
std::string ReadLabel(Cursor& cursor) {
  return Peek(cursor) == '\'' ? ReadQuotedLabel(cursor) : std::string(ReadUnquoted(cursor));
}

// Optional sign, digits with an optional fraction (at least one digit), optional exponent.
bool IsDecimal(std::string_view text) {
  std::size_t i = 0;
  const auto skipSign = [&] { i += i < text.size() && (text[i] == '+' || text[i] == '-'); };
  const auto countDigits = [&] {
    const std::size_t from = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    return i - from;
  };
  skipSign();
  std::size_t digits = countDigits();
  if (i < text.size() && text[i] == '.') {
    ++i;
    digits += countDigits();
  }
  if (digits == 0) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    skipSign();
    if (countDigits() == 0) return false;
  }
  return i == text.size();
}

// Reads ':' and the branch length of `vertex` when they follow its label.
void ReadLengthOf(Cursor& cursor, Growing& growing, int32_t vertex) {
  SkipBlanksAndComments(cursor);
  if (AtEnd(cursor)) return;
  const std::string& label = growing.tree.label[vertex];
  if (IsLabelByte(Peek(cursor)) && !label.empty())
    Refuse(Here(cursor),
           "unexpected " + ByteText(Peek(cursor)) + " after label \"" + label + "\" (quote a label that holds blanks)");
  if (Peek(cursor) != ':') return;
  ++cursor.at;
  SkipBlanksAndComments(cursor);
  const Position start = Here(cursor);
  const std::string_view length = ReadUnquoted(cursor);
  if (length.empty()) Refuse(start, "missing branch length after ':'");
  if (!IsDecimal(length)) Refuse(start, "bad branch length \"" + std::string(length) + "\"");
  growing.tree.length[vertex] = length;
}

int32_t AddVertex(Growing& growing, Position start) {
  NewickTree& tree = growing.tree;
  const auto vertex = static_cast<int32_t>(tree.parent.size());
  tree.parent.push_back(growing.open.empty() ? -1 : growing.open.back());
  growing.start.push_back(start);
  tree.label.emplace_back();
  tree.length.emplace_back();
  return vertex;
}

// Sizes the tip table for twice the most tips the text can hold: every tip
// but the root is the first child after a '(' or follows a ','.
void SizeTipTable(Growing& growing, std::string_view text) {
  const auto most = std::count(text.begin(), text.end(), '(') + std::count(text.begin(), text.end(), ',') + 1;
  growing.tipSlot.assign(std::bit_ceil(2 * static_cast<std::size_t>(most)), -1);
}

// Enters `tip` under its name; returns the tip given that name before, or -1.
int32_t EnterTip(Growing& growing, int32_t tip) {
  const std::string& name = growing.tree.label[tip];
  const std::size_t mask = growing.tipSlot.size() - 1;
  const std::size_t hash = std::hash<std::string>{}(name);
  for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
    int32_t& slot = growing.tipSlot[i];
    if (slot < 0) {
      slot = tip;
      return -1;
    }
    if (growing.tree.label[slot] == name) return slot;
  }
}

void ReadTip(Cursor& cursor, Growing& growing) {
  // Only a tip after a '(' or a ',' can meet the end, so something is open.
  if (AtEnd(cursor)) RefuseUnclosed(growing, cursor.tokenEnd);
  const Position start = Here(cursor);
  if (!StartsLabel(cursor)) {
    if (std::string_view(",):;").find(Peek(cursor)) != std::string_view::npos) Refuse(start, "a tip without a name");
    RefuseUnexpected(start, Peek(cursor));
  }
  std::string name = ReadLabel(cursor);
  if (name.empty()) Refuse(start, "a tip without a name");
  const int32_t tip = AddVertex(growing, start);
  growing.tree.label[tip] = std::move(name);
  const int32_t first = EnterTip(growing, tip);
  if (first >= 0)
    Refuse(start, "tip name \"" + growing.tree.label[tip] + "\" given twice (first at " +
                      PlaceText(growing.start[first]) + ")");
  ++growing.tree.tipCount;
  ReadLengthOf(cursor, growing, tip);
}

// Reads the '(' that open new vertices and the tip that is the first child of the innermost.
void ReadSubtreeStart(Cursor& cursor, Growing& growing) {
  SkipBlanksAndComments(cursor);
  while (!AtEnd(cursor) && Peek(cursor) == '(') {
    growing.open.push_back(AddVertex(growing, Here(cursor)));
    ++cursor.at;
    SkipBlanksAndComments(cursor);
  }
  ReadTip(cursor, growing);
}

void CloseVertex(Cursor& cursor, Growing& growing) {
  const int32_t vertex = growing.open.back();
  growing.open.pop_back();
  SkipBlanksAndComments(cursor);
  if (StartsLabel(cursor)) growing.tree.label[vertex] = ReadLabel(cursor);
  ReadLengthOf(cursor, growing, vertex);
}

// Reads what follows a whole subtree: the ')' of the vertices it closes, up to
// a ',' (true: a sibling follows) or the ';' (false).
bool ReadClosings(Cursor& cursor, Growing& growing) {
  while (true) {
    SkipBlanksAndComments(cursor);
    if (AtEnd(cursor)) {
      if (growing.open.empty()) Refuse(cursor.tokenEnd, "missing ';' at the end of the tree");
      RefuseUnclosed(growing, cursor.tokenEnd);
    }
    const Position here = Here(cursor);
    const char c = Peek(cursor);
    if (c == ',' && growing.open.empty()) Refuse(here, "',' outside brackets");
    if (c == ')' && growing.open.empty()) Refuse(here, "')' without a matching '('");
    if (c == ';' && !growing.open.empty()) RefuseUnclosed(growing, here);
    if (c == ';' && growing.tree.tipCount < 2) Refuse(here, "a tree needs at least 2 tips");
    if (c != ',' && c != ')' && c != ';') RefuseUnexpected(here, c);
    ++cursor.at;
    if (c != ')') return c == ',';
    CloseVertex(cursor, growing);
  }
}

// Fills the child lists and the depths from the parents (a parent comes before its children).
void LinkChildren(NewickTree& tree) {
  const std::size_t count = tree.parent.size();
  tree.childBegin.assign(count + 1, 0);
  for (std::size_t v = 1; v < count; ++v) ++tree.childBegin[tree.parent[v] + 1];
  for (std::size_t v = 0; v < count; ++v) tree.childBegin[v + 1] += tree.childBegin[v];
  std::vector<int32_t> next(tree.childBegin.begin(), tree.childBegin.end() - 1);  // next free place of each child run
  tree.childList.resize(count - 1);
  tree.depth.assign(count, 0);
  for (std::size_t v = 1; v < count; ++v) {
    tree.childList[next[tree.parent[v]]++] = static_cast<int32_t>(v);
    tree.depth[v] = tree.depth[tree.parent[v]] + 1;
  }
}

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};

bool IsTip(const NewickTree& tree, int32_t vertex) { return tree.childBegin[vertex] == tree.childBegin[vertex + 1]; }

void WriteLabelAndLength(const NewickTree& tree, int32_t vertex, std::string& out) {
  if (IsTip(tree, vertex) || !tree.label[vertex].empty()) out += NewickLabelText(tree.label[vertex]);
  if (!tree.length[vertex].empty()) out += ':' + tree.length[vertex];
}

}  // namespace

NewickTree ParseNewick(std::string_view text) {
  // Every vertex takes a byte of its own, so no index overflows below this size.
  if (text.size() > static_cast<std::size_t>(std::numeric_limits<int32_t>::max()))
    Refuse({1, 1}, "a text of more than 2 GiB");
  Cursor cursor;
  cursor.text = text;
  if (text.starts_with("\xEF\xBB\xBF")) cursor.at = 3;
  Growing growing;
  SizeTipTable(growing, text);
  SkipBlanksAndComments(cursor);
  if (AtEnd(cursor)) Refuse(Here(cursor), "no tree in the text");
  // One round per tip: the '(' before it, the tip, the ')' after it.
  do {
    ReadSubtreeStart(cursor, growing);
  } while (ReadClosings(cursor, growing));
  SkipBlanksAndComments(cursor);
  if (!AtEnd(cursor)) Refuse(Here(cursor), "a second tree after ';'");
  LinkChildren(growing.tree);
  return std::move(growing.tree);
}

NewickTree ReadNewickFile(const std::string& path) {
  const std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) throw IoErrorFromErrno("open", path);
  std::string text;
  char block[1 << 16];
  for (std::size_t got; (got = std::fread(block, 1, sizeof block, file.get())) > 0;) text.append(block, got);
  if (std::ferror(file.get())) throw IoErrorFromErrno("read", path);
  return ParseNewick(text);
}

std::string NewickLabelText(std::string_view label) { return NewickLabelText(label, " \t\r\n()[]':;,"); }

std::string NewickLabelText(std::string_view label, std::string_view special) {
  if (!label.empty() && label.find_first_of(special) == std::string_view::npos) return std::string(label);
  std::string quoted = "'";
  for (const char c : label) {
    if (c == '\'') quoted += c;
    quoted += c;
  }
  return quoted + "'";
}

std::string NewickText(const NewickTree& tree) {
  std::string out;
  std::vector<int32_t> next(tree.childBegin.begin(), tree.childBegin.end() - 1);  // next child to write of each vertex
  std::vector<int32_t> path{0};  // from the root to the vertex being written
  if (!IsTip(tree, 0)) out += '(';
  while (!path.empty()) {
    const int32_t vertex = path.back();
    if (next[vertex] == tree.childBegin[vertex + 1]) {
      if (!IsTip(tree, vertex)) out += ')';
      WriteLabelAndLength(tree, vertex, out);
      path.pop_back();
      continue;
    }
    if (next[vertex] > tree.childBegin[vertex]) out += ',';
    const int32_t child = tree.childList[next[vertex]++];
    if (!IsTip(tree, child)) out += '(';
    path.push_back(child);
  }
  return out + ';';
}

std::vector<std::string> VertexNames(const NewickTree& tree) {
  const std::size_t count = tree.parent.size();
  std::vector<std::string> names(count, "0");
  std::vector<int32_t> seen(count, 0);  // vertices met so far at each depth
  for (std::size_t v = 1; v < count; ++v)
    names[v] = std::to_string(tree.depth[v]) + "." + std::to_string(++seen[tree.depth[v]]);
  return names;
}

std::vector<std::string> TipNames(const NewickTree& tree) {
  std::vector<std::string> names;
  for (std::size_t v = 0; v < tree.label.size(); ++v)
    if (tree.childBegin[v] == tree.childBegin[v + 1]) names.push_back(tree.label[v]);
  return names;
}

}  // namespace dorvu

#pragma once
// Caret, selection and search operations on the item memo, and the tag
// reference parser. The engine talks to the memo only through TJumpMemo, so it
// runs the same on the editor's widget and on a plain text in a test.
//
// Positions are byte offsets into the memo's whole text as CP932, with every
// line break counted as the two bytes CR LF (a double-byte character counts as
// two). Lines are 0-based text lines (the pieces between line breaks, not the
// rows a wrapped display shows); columns are 1-based byte columns.
#include <functional>
#include <string>
#include <string_view>

class TJumpMemo {
public:
  virtual ~TJumpMemo() = default;

  // The whole text, lines joined with CR LF.
  virtual std::string Text() const = 0;
  // Byte length of Text().
  virtual int TextLength() const = 0;
  virtual int LineCount() const = 0; // at least 1: an empty text has one empty line
  // One line without its line break; empty for a line that does not exist.
  virtual std::string LineText(int line) const = 0;
  virtual int LineLength(int line) const = 0; // bytes; 0 for a line that does not exist
  // First position of `line`; -1 when there is no such line.
  virtual int LineIndex(int line) const = 0;
  // Line that holds `position` (positions past the end give the last line).
  virtual int LineFromPosition(int position) const = 0;

  // The two ends of the selection, start <= end.
  virtual void GetSelection(int &start, int &end) const = 0;
  // Selects from `anchor` to `caret` and scrolls the caret into view. A
  // position outside the text is clamped to it; one inside a character, or
  // between the CR and the LF of a line break, moves back to where that
  // character (or the line's end) begins.
  virtual void SetSelection(int anchor, int caret) = 0;

  // Height of the text area in pixels.
  virtual int ClientHeight() const = 0;

  virtual void Undo() = 0;
  virtual bool CanUndo() const = 0;
};

enum TJumpedLinePosMemo { jpmDefault = 0, jpmTop = 1, jpmCenter = 2 };

class TMemoJump {
public:
  using TTagjumpEvent = std::function<void(TMemoJump *sender, int line, int colomn)>;
  using TFileTagjumpEvent =
      std::function<void(TMemoJump *sender, const std::string &fileName, int line, int colomn,
                         const std::string &keyWord, bool &loadFile)>;

  TMemoJump() = default;

  TJumpMemo *ObjectifyMemo() const { return memo_; }
  // Null unbinds; every operation is then a harmless no-op.
  void SetObjectifyMemo(TJumpMemo *memo) { memo_ = memo; }

  bool MatchCase = true;
  bool WholeWord = false; // kept for the settings; no operation reads it
  TJumpedLinePosMemo JumpedLinePos = jpmDefault;
  std::string KeyWord;       // when not empty, GetKeyWord returns it
  std::string BaseDirectory; // put before a tag's file name that has no directory
  // Height of the memo font in pixels; its sign is ignored, 0 turns line
  // placement off.
  int LineHeight = 0;
  // Declared for the owner's use; nothing here raises them.
  TTagjumpEvent OnTagJumped;
  TFileTagjumpEvent OnFileTagJump;

  // Selection primitives.
  int GetSelStart() const;
  int GetSelLength() const;
  void SetCaret(int position);
  void SelectFromCaret(int count);
  int CaretLine() const;
  int CaretColumn() const;
  void MoveToLine(int line);
  void MoveToColumn(int column);
  void Undo();
  bool CanUndo() const;

  // Finds `key` after the selection (forward) or wholly before its start
  // (backward) and selects it, its line placed per JumpedLinePos. False, with
  // the selection untouched, when there is no such place.
  bool SearchText(const std::string &key, bool forward);
  // The KeyWord override, else the caret's line from the caret up to the
  // first space or tab.
  std::string GetKeyWord() const;
  void SetKeyWord(const std::string &text) { KeyWord = text; }
  // Caret to `line` and `column`, the line placed per JumpedLinePos.
  void JumpTo(int line, int column);
  void PrepareJumpScroll(int line);

  // Reads a tag reference "file(12)", "file 12,5", "\"my file\" -3:",
  // "file \"key\"" and the like. Line comes out 0-based, colomn 1-based.
  bool ParseTagJump(const std::string &tag, std::string &fileName, int &line, int &colomn,
                    std::string &keyWord) const;

  // Where a hit of `key` may start in `text` at or after `from` such that it
  // lies wholly within [0, limit): at a character start and ending at one.
  // npos when there is none. An empty key is never found.
  static size_t FindKey(std::string_view text, std::string_view key, size_t from, size_t limit);
  // Byte length of the character that starts at `i`: two for a lead byte
  // followed by a byte that can be a trail byte, else one.
  static size_t CharLength(std::string_view text, size_t i);
  // FindKey with the character walk starting at `walk`, a known character
  // start at or before `from` (the end of a previous hit, say).
  static size_t FindFrom(std::string_view text, std::string_view key, size_t walk, size_t from,
                         size_t limit);

private:
  void SelectHit(int position, int length);
  // A tag's file name as it is looked up: BaseDirectory before a bare name.
  std::string TagFilePath(const std::string &name) const;

  TJumpMemo *memo_ = nullptr;
};

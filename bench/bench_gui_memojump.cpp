// The item memo with a 100 KB body: showing the body with the caret put back
// at a remembered line and column (what a selection change costs the memo),
// typing with the caret read-out, and searches through the text.
// Usage: bench_gui_memojump [kilobytes]   (run with QT_QPA_PLATFORM=offscreen)
#include "editor/PlainTextMemo.h"
#include "engine/MemoJump.h"
#include "store/Codec.h"

#include <QApplication>
#include <QPlainTextEdit>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
double Ms(Clock::time_point a) {
  return std::chrono::duration<double, std::milli>(Clock::now() - a).count();
}

struct Stats {
  std::vector<double> ms;
  void Print(const char *what) {
    std::sort(ms.begin(), ms.end());
    std::printf("%-52s median %7.2f ms   max %7.2f ms   (%zu runs)\n", what, ms[ms.size() / 2],
                ms.back(), ms.size());
  }
};

// Japanese prose with ASCII, half-width katakana and empty lines, CR LF.
std::string Body(size_t bytes, int seed) {
  const char *words[] = {"発想",   "メモ", "の整理", "アイデア", "ｶﾀｶﾅ",   "note", "計画",  "表示",
                         "ソフト", "、",   "。",     " ",        "次の手", "検討", "2026年"};
  std::string utf8;
  unsigned r = static_cast<unsigned>(seed) * 2654435761u + 1;
  size_t lineLen = 0;
  while (utf8.size() < bytes * 3 / 2) {
    r = r * 1103515245u + 12345u;
    utf8 += words[(r >> 16) % 15];
    if (++lineLen > 8 + (r >> 8) % 20) {
      utf8 += (r % 9 == 0) ? "\r\n\r\n" : "\r\n";
      lineLen = 0;
    }
  }
  std::string cp = cp932::FromUtf8(utf8).bytes;
  cp.resize(bytes);
  return cp + "\r\nneedle at the end";
}

QString Shown(const std::string &cp932) {
  return QString::fromUtf8(cp932::ToUtf8(cp932))
      .replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

} // namespace

int main(int argc, char **argv) {
  QApplication app(argc, argv);
  size_t kb = argc > 1 ? static_cast<size_t>(std::atoi(argv[1])) : 100;
  const std::string bodies[] = {Body(kb * 1024, 1), Body(kb * 1024, 2)};

  QPlainTextEdit edit;
  edit.setLineWrapMode(QPlainTextEdit::NoWrap);
  edit.resize(700, 500);
  edit.show();
  app.processEvents();
  TPlainTextMemo memo(&edit);
  TMemoJump jump;
  jump.SetObjectifyMemo(&memo);
  jump.JumpedLinePos = jpmCenter;
  jump.LineHeight = TPlainTextMemo::FontLineHeight(&edit);

  // Floor: the conversion of the body that showing it needs anyway.
  Stats decode, setText, table, jumpOnly, show, showPaint;
  for (int i = 0; i < 20; ++i) {
    auto t = Clock::now();
    QString s = Shown(bodies[i % 2]);
    decode.ms.push_back(Ms(t));
  }
  int lines = 0;
  for (int i = 0; i < 20; ++i) {
    QString shown = Shown(bodies[i % 2]);
    auto t = Clock::now();
    edit.setPlainText(shown);
    setText.ms.push_back(Ms(t));
    t = Clock::now();
    int count = memo.LineCount();
    table.ms.push_back(Ms(t));
    t = Clock::now();
    jump.JumpTo(count * 3 / 4, 7);
    jumpOnly.ms.push_back(Ms(t));
    app.processEvents();
  }
  for (int i = 0; i < 20; ++i) {
    const std::string &body = bodies[i % 2];
    auto t = Clock::now();
    edit.setPlainText(Shown(body));
    lines = memo.LineCount();
    jump.JumpTo(lines * 3 / 4, 7);
    show.ms.push_back(Ms(t));
    app.processEvents(); // layout and paint
    showPaint.ms.push_back(Ms(t));
  }
  std::printf("body %zu bytes, %d lines; caret at line %d column %d\n", bodies[1].size(), lines,
              jump.CaretLine(), jump.CaretColumn());
  decode.Print("decode body (CP932 -> QString), the floor");
  setText.Print("setPlainText alone (the widget's own cost)");
  table.Print("byte-position table for the new text");
  jumpOnly.Print("JumpTo alone (caret moves and scrolling)");
  show.Print("show body + JumpTo (centred)");
  showPaint.Print("show body + JumpTo + layout and paint");

  // Typing in the middle, with the status bar's caret read-out after each key.
  Stats typing;
  jump.JumpTo(lines / 2, 3);
  for (int i = 0; i < 200; ++i) {
    auto t = Clock::now();
    edit.insertPlainText(i % 10 == 9 ? QStringLiteral("\n") : QStringLiteral("字"));
    volatile int l = jump.CaretLine(), c = jump.CaretColumn();
    (void)l;
    (void)c;
    typing.ms.push_back(Ms(t));
  }
  typing.Print("type one character + caret line/column");

  // Searches.
  edit.setPlainText(Shown(bodies[0]));
  Stats step, miss, back;
  const std::string key = cp932::FromUtf8("アイデア").bytes;
  jump.SetCaret(0);
  int hits = 0;
  auto all = Clock::now();
  for (;;) {
    auto t = Clock::now();
    bool found = jump.SearchText(key, true);
    step.ms.push_back(Ms(t));
    if (!found)
      break;
    ++hits;
  }
  double allMs = Ms(all);
  for (int i = 0; i < 20; ++i) {
    jump.SetCaret(0);
    auto t = Clock::now();
    jump.SearchText("not in the text", true);
    miss.ms.push_back(Ms(t));
  }
  for (int i = 0; i < 20; ++i) {
    jump.SetCaret(memo.TextLength());
    auto t = Clock::now();
    jump.SearchText(key, false);
    back.ms.push_back(Ms(t));
  }
  std::printf("forward search walked %d hits in %.1f ms\n", hits, allMs);
  step.Print("one forward search step (find next)");
  miss.Print("search through the whole text, no hit");
  back.Print("backward search from the end (last hit)");
  return 0;
}

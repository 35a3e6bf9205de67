// The memo engine on a real QPlainTextEdit: byte positions against the
// widget's positions, the line table through edits, and searches and jumps
// that land where the engine lands on a plain text.
#include "editor/PlainTextMemo.h"
#include "editor/ItemMemo.h"
#include "engine/MemoJump.h"
#include "store/Codec.h"
#include "support/TextMemo.h"

#include <QClipboard>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QtTest>

namespace {

// Shown text of CP932 bytes with CR LF, as the editor puts an item's lines.
QString Shown(const std::string &cp932) {
  return QString::fromUtf8(cp932::ToUtf8(cp932))
      .replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

// The slow, obvious count: encode everything before `position`.
int BytesBefore(const QString &plain, int position) {
  QString prefix = plain.left(position).replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
  return static_cast<int>(cp932::FromUtf8(prefix.toUtf8().toStdString()).bytes.size());
}

QString PlainOf(const QTextDocument *doc) {
  QStringList lines;
  for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
    lines << b.text();
  return lines.join(QLatin1Char('\n'));
}

std::string U8(const char *utf8) { return cp932::FromUtf8(utf8).bytes; }

// Japanese lines with keys whose bytes also occur as trail bytes (ソ 83 5C,
// 表 95 5C, ア 83 41), half-width katakana and ASCII.
std::string SampleText() {
  std::string s;
  for (int i = 0; i < 40; ++i) {
    s += U8("表示ソフトの") + std::to_string(i) + U8("行目 ｱｲｳ \\ A アイデア abc ABC");
    s += "\r\n";
    if (i % 7 == 3)
      s += "\r\n"; // empty lines
  }
  return s + U8("最後の行 \\表");
}

} // namespace

class PlainTextMemoTest : public QObject {
  Q_OBJECT

private:
  QPlainTextEdit *edit = nullptr;
  TPlainTextMemo *memo = nullptr;

  void Load(const std::string &cp932) {
    edit->setPlainText(Shown(cp932));
    QCOMPARE(memo->Text(), cp932);
  }

  // Every table query agrees with a memo that counts the document afresh.
  void CheckAgainstFreshCount() {
    TPlainTextMemo fresh(edit);
    QCOMPARE(memo->LineCount(), fresh.LineCount());
    QCOMPARE(memo->TextLength(), fresh.TextLength());
    for (int l = 0; l < fresh.LineCount(); ++l) {
      QCOMPARE(memo->LineIndex(l), fresh.LineIndex(l));
      QCOMPARE(memo->LineLength(l), fresh.LineLength(l));
    }
    QCOMPARE(memo->Text(), fresh.Text());
    QCOMPARE(memo->TextLength(), static_cast<int>(fresh.Text().size()));
  }

private slots:
  void init() {
    edit = new QPlainTextEdit;
    edit->setLineWrapMode(QPlainTextEdit::NoWrap);
    edit->resize(500, 300);
    edit->show();
    QVERIFY(QTest::qWaitForWindowExposed(edit));
    memo = new TPlainTextMemo(edit, edit);
  }
  void cleanup() {
    delete edit;
    edit = nullptr;
    memo = nullptr;
  }

  void positionsCountCp932BytesAndCrLf() {
    // Raw bytes that are not CP932 (80, A0, FD, a lone lead byte before the
    // line break) count one each, as they are stored.
    std::string text = U8("日本語ｶﾅ abc\r\n") + "\x80\xa0\xfd x\x82\r\n\r\n" + U8("表\\ソ");
    Load(text);
    // Characters CP932 cannot hold, typed into the widget, count as their '?'.
    QTextCursor c(edit->document());
    c.movePosition(QTextCursor::End);
    c.insertText(QStringLiteral("😀丂é\n終"));
    const QString plain = PlainOf(edit->document());
    QCOMPARE(memo->TextLength(), BytesBefore(plain, static_cast<int>(plain.size())));
    QCOMPARE(memo->Text(), cp932::FromUtf8(QString(plain)
                                               .replace(QLatin1Char('\n'), QStringLiteral("\r\n"))
                                               .toUtf8()
                                               .toStdString())
                               .bytes);
    for (int p = 0; p <= plain.size(); ++p) {
      if (p > 0 && plain.at(p - 1).isHighSurrogate())
        continue; // inside the emoji
      int bytes = memo->BytePosition(p);
      QCOMPARE(bytes, BytesBefore(plain, p));
      QCOMPARE(memo->DocumentPosition(bytes), p);
    }
    TTextMemo same(memo->Text());
    QCOMPARE(memo->LineCount(), same.LineCount());
    for (int l = 0; l < same.LineCount(); ++l) {
      QCOMPARE(memo->LineIndex(l), same.LineIndex(l));
      QCOMPARE(memo->LineLength(l), same.LineLength(l));
      QCOMPARE(memo->LineText(l), same.LineText(l));
    }
    for (int p = 0; p <= memo->TextLength() + 3; ++p)
      QCOMPARE(memo->LineFromPosition(p), same.LineFromPosition(p));
    QCOMPARE(memo->LineIndex(-1), -1);
    QCOMPARE(memo->LineIndex(same.LineCount()), -1);
  }

  void duplicateCodesKeepTheirBytesAndPositions() {
    // NEC row 13, NEC-selected IBM and IBM codes show as character + marker;
    // the pair is one code of two bytes, and the caret never stops inside it.
    const std::string dup = "\x87\x90"
                            "A"
                            "\xED\x40\xFA\x4A"
                            "\xEE\xF9"
                            "x\r\n\x87\x9A\x81\xE6";
    Load(dup);
    const QString plain = PlainOf(edit->document());
    QCOMPARE(plain, QString::fromUtf16(u"≒\uFE00A纊\uFE01Ⅰ\uFE02￢\uFE01x\n∵\uFE00∵"));
    QCOMPARE(memo->TextLength(), static_cast<int>(dup.size()));
    QCOMPARE(memo->LineLength(0), 10);
    QCOMPARE(memo->LineIndex(1), 12);
    for (int p = 0; p <= plain.size(); ++p) {
      const bool insidePair = p < plain.size() && cp932::IsVariantMarker(plain.at(p).unicode());
      QCOMPARE(memo->BytePosition(p), BytesBefore(plain, p));
      QCOMPARE(memo->DocumentPosition(memo->BytePosition(p)), insidePair ? p + 1 : p);
    }
    // Real keys: Right steps over character and marker at once; typing after
    // and before a pair keeps its code, Backspace over it removes the code.
    QTest::keyClick(edit, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Right);
    QCOMPARE(edit->textCursor().position(), 2);
    QCOMPARE(memo->BytePosition(edit->textCursor().position()), 2);
    QTest::keyClicks(edit, "b");
    QTest::keyClick(edit, Qt::Key_Home);
    QTest::keyClicks(edit, "c");
    QCOMPARE(memo->Text(), "c\x87\x90"
                           "bA"
                           "\xED\x40\xFA\x4A"
                           "\xEE\xF9"
                           "x\r\n\x87\x9A\x81\xE6");
    CheckAgainstFreshCount();
    QTest::keyClick(edit, Qt::Key_End);
    QTest::keyClick(edit, Qt::Key_Backspace); // x
    QTest::keyClick(edit, Qt::Key_Backspace); // ￢ of the NEC-selected IBM row
    CheckAgainstFreshCount();
    const std::string after = memo->Text().substr(0, memo->LineLength(0));
    // Whatever Qt removes first, no marker is left without its character and
    // the line still counts what it stores.
    QVERIFY(after == "c\x87\x90"
                     "bA"
                     "\xED\x40\xFA\x4A" ||
            after == "c\x87\x90"
                     "bA"
                     "\xED\x40\xFA\x4A"
                     "\x81\xCA");
    // The marker draws nothing.
    QFontMetrics fm(edit->document()->defaultFont());
    QCOMPARE(fm.horizontalAdvance(QString::fromUtf16(u"≒\uFE00∵\uFE02纊\uFE01")),
             fm.horizontalAdvance(QString::fromUtf16(u"≒∵纊")));
  }

  void longLinePositionsAgreeWithACountFromTheStart() {
    // A line long enough for the memo's marks inside a line, with pairs and
    // double-byte characters lying across the marks; then an edit in front of
    // it, which shifts every mark.
    QString line;
    const QString pieces[] = {QStringLiteral("abc"), QStringLiteral(u"日本語"),
                              QStringLiteral(u"ｶﾅ"), QStringLiteral(u"😀"), QStringLiteral(u"丂")};
    for (int i = 0; line.size() < 30000; ++i)
      line += pieces[(i * 7 + i / 3) % 5];
    auto check = [&](const QString &shown) {
      const QString first = shown.section(QLatin1Char('\n'), 0, 0);
      const int lineStart = static_cast<int>(first.size()) + 1;
      const QString body = shown.mid(lineStart);
      const int before = BytesBefore(shown, lineStart);
      // Bytes before each unit of the long line, one character at a time.
      std::vector<int> at(body.size() + 1, -1);
      at[0] = 0;
      for (int i = 0; i < body.size();) {
        const int n = body.at(i).isHighSurrogate() ? 2 : 1;
        const int w =
            n == 2 ? 1
                   : static_cast<int>(
                         cp932::FromUtf8(body.mid(i, 1).toUtf8().toStdString()).bytes.size());
        at[i + n] = at[i] + w;
        i += n;
      }
      for (int i = 0; i <= body.size(); ++i) {
        if (at[i] < 0)
          continue; // inside a pair
        QCOMPARE(memo->BytePosition(lineStart + i), before + at[i]);
        QCOMPARE(memo->DocumentPosition(before + at[i]), lineStart + i);
        if (i < body.size() && at[i + 1] == at[i] + 2) // the trail byte: its character
          QCOMPARE(memo->DocumentPosition(before + at[i] + 1), lineStart + i);
      }
      CheckAgainstFreshCount();
    };
    edit->setPlainText(QStringLiteral(u"一行目\n") + line);
    check(PlainOf(edit->document()));
    QTextCursor c(edit->document());
    c.setPosition(5);
    c.insertText(QStringLiteral(u"あ😀x"));
    check(PlainOf(edit->document()));
  }

  void selectionsMapBothWays() {
    Load(U8("あいう\r\nかきく"));
    TMemoJump jump;
    jump.SetObjectifyMemo(memo);
    memo->SetSelection(2, 6); // い and う
    QCOMPARE(edit->textCursor().selectedText(), QStringLiteral("いう"));
    int start = -1, end = -1;
    memo->GetSelection(start, end);
    QCOMPARE(start, 2);
    QCOMPARE(end, 6);
    // Made backwards in the widget: still start before end.
    QTextCursor c(edit->document());
    c.setPosition(6);
    c.setPosition(5, QTextCursor::KeepAnchor);
    edit->setTextCursor(c);
    QCOMPARE(jump.GetSelStart(), 10);
    QCOMPARE(jump.GetSelLength(), 2);
    QCOMPARE(jump.CaretLine(), 1);
    QCOMPARE(jump.CaretColumn(), 3);
    // Inside a character, between CR and LF, past the end.
    jump.SetCaret(3);
    QCOMPARE(edit->textCursor().position(), 1);
    jump.SetCaret(7);
    QCOMPARE(edit->textCursor().position(), 3);
    QCOMPARE(jump.GetSelStart(), 6);
    jump.SetCaret(500);
    QCOMPARE(edit->textCursor().position(), 7);
    QCOMPARE(jump.GetSelStart(), 14);
    jump.JumpTo(1, 5);
    QCOMPARE(edit->textCursor().position(), 6);
    QVERIFY(!edit->textCursor().hasSelection());
  }

  void tableFollowsEdits() {
    Load(SampleText());
    QRandomGenerator rng(7);
    const QString pieces[] = {QStringLiteral("x"),  QStringLiteral("漢字"),
                              QStringLiteral("\n"), QStringLiteral("a\nｱ\n"),
                              QStringLiteral("😀"),  QString()};
    for (int step = 0; step < 400; ++step) {
      QTextCursor c(edit->document());
      int size = edit->document()->characterCount() - 1;
      int from = rng.bounded(size + 1);
      int to = std::min(size, from + static_cast<int>(rng.bounded(step % 5 == 0 ? 60 : 3)));
      c.setPosition(from);
      c.setPosition(to, QTextCursor::KeepAnchor);
      switch (rng.bounded(4)) {
      case 0:
        c.insertText(pieces[rng.bounded(6)]);
        break;
      case 1:
        c.removeSelectedText();
        break;
      case 2:
        edit->undo();
        break;
      default: // two edits before the next question
        c.insertText(pieces[rng.bounded(6)]);
        c.insertText(pieces[rng.bounded(6)]);
        break;
      }
      if (step % 3 == 0)
        memo->LineFromPosition(rng.bounded(memo->TextLength() + 1)); // half-refreshed table
      if (step % 2 == 0)
        CheckAgainstFreshCount();
      if (QTest::currentTestFailed())
        QFAIL(qPrintable(QStringLiteral("table differs after step %1").arg(step)));
    }
    CheckAgainstFreshCount();

    // The whole text replaced, and a document swapped into the widget.
    edit->setPlainText(QStringLiteral("一\n二"));
    CheckAgainstFreshCount();
    QTextDocument other;
    other.setDocumentLayout(new QPlainTextDocumentLayout(&other));
    other.setPlainText(QStringLiteral("abc\nあ"));
    edit->setDocument(&other);
    QCOMPARE(memo->Text(), std::string("abc\r\n") + U8("あ"));
    edit->setDocument(nullptr);
  }

  void searchesLandWhereTheEngineLandsOnPlainText() {
    const std::string text = SampleText();
    Load(text);
    for (bool matchCase : {true, false}) {
      for (const std::string &key : {std::string("\\"), std::string("A"), U8("ア"), U8("ソ"),
                                     std::string("abc"), U8("表"), std::string("C\r\n"), U8("ｲ")}) {
        TTextMemo plain(text);
        TMemoJump onPlain, onWidget;
        onPlain.SetObjectifyMemo(&plain);
        onWidget.SetObjectifyMemo(memo);
        for (TMemoJump *j : {&onPlain, &onWidget}) {
          j->MatchCase = matchCase;
          j->JumpedLinePos = jpmCenter;
          j->LineHeight = 15;
        }
        onWidget.SetCaret(0);
        for (bool forward : {true, false}) {
          int hits = 0;
          for (;;) {
            bool a = onPlain.SearchText(key, forward);
            bool b = onWidget.SearchText(key, forward);
            QCOMPARE(b, a);
            QCOMPARE(onWidget.GetSelStart(), onPlain.GetSelStart());
            QCOMPARE(onWidget.GetSelLength(), onPlain.GetSelLength());
            if (!a)
              break;
            ++hits;
            QCOMPARE(text.substr(onWidget.GetSelStart(), key.size()),
                     matchCase ? key : text.substr(onPlain.GetSelStart(), key.size()));
          }
          QVERIFY2(hits > 0, key.c_str());
        }
      }
    }
  }

  void jumpPutsTheLineInTheMiddle() {
    std::string text;
    for (int i = 0; i < 300; ++i)
      text += U8("行") + std::to_string(i) + U8(" 日本語のテキスト\r\n");
    Load(text);
    TMemoJump jump;
    jump.SetObjectifyMemo(memo);
    jump.JumpedLinePos = jpmCenter;
    jump.LineHeight = -TPlainTextMemo::FontLineHeight(edit);
    QCOMPARE(TPlainTextMemo::FontLineHeight(edit),
             qRound(edit->document()
                        ->documentLayout()
                        ->blockBoundingRect(edit->document()->findBlockByNumber(5))
                        .height()));
    const int visible = edit->viewport()->height() / TPlainTextMemo::FontLineHeight(edit);
    QVERIFY(visible >= 8);

    jump.JumpTo(150, 3);
    QCOMPARE(jump.CaretLine(), 150);
    QCOMPARE(jump.CaretColumn(), 3);
    QCOMPARE(edit->textCursor().position(),
             edit->document()->findBlockByNumber(150).position() + 1);
    int top = edit->verticalScrollBar()->value(); // first line shown, without wrapping
    QVERIFY2(std::abs(150 - top - visible / 2) <= 1, qPrintable(QString::number(top)));

    // A search hit near the end: as far down as the view goes.
    QVERIFY(jump.SearchText(U8("行298 "), true));
    QCOMPARE(jump.CaretLine(), 298);
    QVERIFY(edit->cursorRect().bottom() <= edit->viewport()->height());
    // Back up from the end of the text: the hit is in view.
    jump.SetCaret(memo->TextLength());
    QVERIFY(jump.SearchText(U8("行10 "), false));
    QCOMPARE(jump.CaretLine(), 10);
    QVERIFY(edit->cursorRect().top() >= 0);
    QVERIFY(edit->cursorRect().bottom() <= edit->viewport()->height());
  }

  void wrappedLinesCountAsOne() {
    std::string longLine;
    for (int i = 0; i < 60; ++i)
      longLine += U8("折り返す長い行 ");
    Load("first\r\n" + longLine + "\r\nlast");
    edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    QCoreApplication::processEvents();
    TMemoJump jump;
    jump.SetObjectifyMemo(memo);
    jump.JumpTo(2, 3);
    QCOMPARE(jump.CaretLine(), 2);
    QCOMPARE(jump.CaretColumn(), 3);
    jump.JumpTo(1, 200);
    QCOMPARE(jump.CaretLine(), 1);
    QCOMPARE(jump.CaretColumn(), 200);
    QVERIFY(edit->document()->findBlockByNumber(1).layout()->lineCount() > 1);
  }

  void undoThroughTheEngine() {
    Load("abc");
    TMemoJump jump;
    jump.SetObjectifyMemo(memo);
    edit->document()->clearUndoRedoStacks();
    QVERIFY(!jump.CanUndo());
    jump.SetCaret(3);
    edit->insertPlainText(QStringLiteral("日本"));
    QCOMPARE(memo->Text(), "abc" + U8("日本"));
    QVERIFY(jump.CanUndo());
    jump.Undo();
    QCOMPARE(memo->Text(), std::string("abc"));
  }

  void aLongLineIsOneLineAcrossItsDisplayBlocks() {
    // After each space comes a letter, so that the keys at a display block's
    // ends have a known character to take.
    QString line;
    const QString pieces[] = {QStringLiteral(u"日本語 word"), QStringLiteral(u"😀"),
                              QStringLiteral(u"≒\uFE00"), QStringLiteral(u"ｶﾅ")};
    for (int i = 0; line.size() < TItemMemo::kSplitLine + 3 * TItemMemo::kDisplayBlock; ++i)
      line += pieces[i % 4];
    const QString text = QStringLiteral(u"一行目\n") + line + QStringLiteral("\nend");
    TItemMemo item;
    item.resize(500, 300);
    item.show();
    TPlainTextMemo shown(&item);
    QClipboard *clipboard = QGuiApplication::clipboard();
    auto bytes = [](const QString &s) {
      return cp932::FromUtf8(QString(s)
                                 .replace(QLatin1Char('\n'), QStringLiteral("\r\n"))
                                 .toUtf8()
                                 .toStdString())
          .bytes;
    };
    // Index in the text of a document position: less the block ends before it.
    auto index = [&](int position) {
      int at = position;
      for (QTextBlock b = item.document()->begin().next(); b.isValid() && b.position() <= position;
           b = b.next())
        at -= TItemMemo::ContinuesLine(b);
      return at;
    };
    auto place = [&](int from, int to) {
      QTextCursor c(item.document());
      c.setPosition(from);
      c.setPosition(to, QTextCursor::KeepAnchor);
      item.setTextCursor(c);
    };
    int at = 0, i = 0; // the start of a display block inside the line, in the document and the text
    auto key = [&](int k) { return [&item, k] { QTest::keyClick(&item, Qt::Key(k)); }; };
    auto paste = [&](QString s) {
      return [&, s] {
        clipboard->setText(s);
        item.paste();
      };
    };
    const struct {
      const char *name;
      int from, to; // the selection, from the block's start
      std::function<void()> act;
      std::function<QString()> want;
    } rows[] = {
        {"typed in a display block", 2, 2, [&] { QTest::keyClicks(&item, "x"); },
         [&] { return QString(text).insert(i + 2, u'x'); }},
        {"Enter at a block's start", 0, 0, key(Qt::Key_Return),
         [&] { return QString(text).insert(i, u'\n'); }},
        {"Backspace at a block's start", 0, 0, key(Qt::Key_Backspace),
         [&] { return QString(text).remove(i - 1, 1); }},
        {"Delete at a block's end", -1, -1, key(Qt::Key_Delete),
         [&] { return QString(text).remove(i, 1); }},
        {"a break pasted into a block", 2, 2, paste(QStringLiteral("a\nb")),
         [&] { return QString(text).insert(i + 2, QStringLiteral("a\nb")); }},
        {"a long line pasted, less what CP932 lacks", 2, 2, paste(line),
         [&] { return QString(text).insert(i + 2, QString(line).remove(QStringLiteral(u"😀"))); }},
        {"cut across a block's end", -3, 3, [&] { item.cut(); },
         [&] { return QString(text).remove(i - 2, 5); }},
    };
    for (const auto &r : rows) {
      item.ShowPlainText(text);
      at = item.document()->findBlockByNumber(3).position();
      i = index(at);
      QVERIFY2(TItemMemo::ContinuesLine(item.document()->findBlockByNumber(3)), r.name);
      QCOMPARE(text.at(i - 1), QChar(u' ')); // the split falls after a space
      QCOMPARE(item.PlainText(), text);
      place(at + r.from, at + r.to);
      r.act();
      const QString want = r.want();
      QVERIFY2(item.PlainText() == want, r.name);
      QVERIFY2(shown.Text() == bytes(want), r.name);
      TTextMemo plain(bytes(want));
      QCOMPARE(shown.LineCount(), plain.LineCount());
      for (int l = 0; l < plain.LineCount(); ++l)
        QVERIFY2(shown.LineIndex(l) == plain.LineIndex(l) &&
                     shown.LineLength(l) == plain.LineLength(l),
                 r.name);
      for (QTextBlock b = item.document()->begin(); b.isValid(); b = b.next()) {
        const int byte = BytesBefore(want, index(b.position()));
        QVERIFY2(shown.BytePosition(b.position()) == byte, r.name);
        QVERIFY2(index(shown.DocumentPosition(byte)) == index(b.position()), r.name);
      }
      if (r.from != r.to)
        QCOMPARE(clipboard->text(), text.mid(i - 2, 5));
      item.undo();
      QVERIFY2(item.PlainText() == text, r.name);
    }
    // A search and a copy across a block's end, and a caret put back there.
    TMemoJump jump;
    jump.SetObjectifyMemo(&shown);
    jump.SetCaret(BytesBefore(text, i - 4)); // the text repeats: the next hit is this one
    QVERIFY(jump.SearchText(bytes(text.mid(i - 3, 6)), true));
    QCOMPARE(jump.GetSelStart(), BytesBefore(text, i - 3));
    item.copy();
    QCOMPARE(clipboard->text(), text.mid(i - 3, 6));
    const int column = BytesBefore(text, i) - BytesBefore(text, 4) + 1;
    jump.JumpTo(1, column);
    QCOMPARE(index(item.textCursor().position()), i);
    QCOMPARE(jump.CaretColumn(), column);
  }

  void shiftEnterBreaksTheLineAsEnterDoes() {
    TItemMemo item;
    TPlainTextMemo shown(&item);
    item.setPlainText(QStringLiteral("ab"));
    item.moveCursor(QTextCursor::NextCharacter);
    QTest::keyClick(&item, Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(shown.Text(), std::string("a\r\nb"));
    QCOMPARE(shown.LineFromPosition(shown.TextLength()), 1);
  }

  void aDeletedWidgetLeavesAHarmlessMemo() {
    TMemoJump jump;
    auto *other = new QPlainTextEdit;
    TPlainTextMemo orphan(other);
    jump.SetObjectifyMemo(&orphan);
    delete other;
    QCOMPARE(orphan.Text(), std::string());
    QCOMPARE(orphan.LineCount(), 1);
    jump.JumpTo(3, 3);
    QVERIFY(!jump.SearchText("a", true));
    QCOMPARE(jump.GetSelStart(), 0);
  }
};

QTEST_MAIN(PlainTextMemoTest)
#include "PlainTextMemoTest.moc"
